// Splitting an action string into program, arguments, working directory and
// window state, and replacing its placeholders: plain text functions.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace handler {

// Show commands as the system numbers them.
constexpr int kShowHide = 0;
constexpr int kShowNormal = 1;
constexpr int kShowMaximize = 3;
constexpr int kShowMinimize = 6;

struct ParsedAction {
    std::string program;
    bool hasArguments = false;
    std::string arguments;  // starts with the space that introduced it
    bool hasDirectory = false;
    std::string directory;
    int showCommand = kShowNormal;
};

// An empty action, or one that begins with a space (no program), runs nothing.
bool actionRunsNothing(const char* action);

ParsedAction parseAction(const char* action);

// The context path up to, not including, its last backslash; empty without
// one. At a drive's root the root's backslash stays ("C:\\a" gives "C:\\",
// as does "C:\\" itself): "C:" alone names the drive's current folder. On
// UTF-8 or WTF-8 text every 0x5C byte is a real backslash.
std::string parentPath(const std::string& contextPath);

// How an expansion is read afterwards. A command line is split the way
// CommandLineToArgvW and the C runtime split it, where a backslash before a
// double quote escapes the quote.
enum class Reading { Plain, CommandLine };

// Replaces "%1" by the context path and "%0" by its parent path; any other
// "%x" pair, and a trailing "%", stand for nothing. The text is UTF-8 or
// WTF-8: the "x" of such a pair is a whole character, all its bytes.
// A path that ends in a backslash (a drive's root) is written so that it
// reads back exactly: before a backslash of the text its own last one is
// left out ("%0\\sub"), and in a command line, before the double quote that
// closes a quoted argument, its trailing backslashes are doubled ("\"%1\"").
std::string expandPlaceholders(const std::string& text, const std::string& contextPath,
                               Reading reading = Reading::Plain);

// Several paths at once: "%1" stands for every path, in order, and "%0" for
// the first one's parent. In a command line each path reads back as one
// argument of its own: inside a quoted argument each gets quotes of its own
// ("\"%1\"" gives "\"a\" \"b\""), a path's trailing backslashes doubled
// before every closing quote; outside quotes the paths are separated by a
// space, and one holding a space or a tab, or nothing, is quoted. Text next
// to the placeholder in the same argument goes with the first and the last
// path. Read plainly (a working directory names one folder) "%1" is the
// first path. With one path this is the expansion above, character for
// character; with none both placeholders stand for nothing.
std::string expandPlaceholders(const std::string& text, const std::vector<std::string>& paths,
                               Reading reading = Reading::Plain);

// A command ready to start, every text in UTF-16.
struct Command {
    std::u16string program;
    bool hasArguments = false;
    std::u16string arguments;
    bool hasDirectory = false;
    std::u16string directory;
    int showCommand = kShowNormal;
};

// Parses the action and puts the context path into its arguments (read as a
// command line) and its working directory; the program is taken as it stands. False when nothing
// is to start: the action has no program, or the working directory is
// 260 characters or longer (a directory cut short would be another one).
bool prepareCommand(const std::u16string& action, const std::u16string& contextPath,
                    Command& command);

// The same with every selected path at once (see expandPlaceholders): the
// working directory takes the first path. With one path it is the above.
bool prepareCommand(const std::u16string& action, const std::vector<std::u16string>& paths,
                    Command& command);

// The longest command line the system starts, in UTF-16 units with its
// terminator.
constexpr std::size_t kCommandLineLimit = 32767;

// The length of the command line the command starts with, terminator
// included: the program in quotes, then a space and the arguments. The
// program is counted as no shorter than the longest path the shell may find
// it at (259 units), so that a command within the limit here is within it
// there too.
std::size_t commandLineLength(const Command& command);

// Whether the command line is too long to start: too many objects at once.
bool exceedsCommandLineLimit(const Command& command);

}  // namespace handler
