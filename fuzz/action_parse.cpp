// Action strings through the parse and the placeholder expansion, with any
// context path of up to 259 characters. The parse is compared with the
// notation read another way (by its suffix markers), and the expansions with
// the placeholder table: every argument and directory comes out whole, never
// cut, so what would run is exactly what the action says. The same holds for
// the command as it starts, in UTF-16, with paths of any characters: letters
// outside ASCII, characters whose code-page form ends in a backslash byte,
// and unpaired surrogates, read there unit by unit; the editor's quoted
// placeholders are read back as a program reads its command line. With
// several paths at once, each comes back from the command line as one
// argument, exactly.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "action.h"
#include "fuzz_support.h"
#include "store_layout.h"

namespace {

using fuzzing::Input;

// Texts made of the notation's own pieces reach the interesting cases
// sooner than raw bytes.
std::string tokenText(Input& in, std::size_t maxPieces) {
    static const char* const pieces[] = {" ",  "$(", "$:", ")",  "\"", "%1", "%0", "%",
                                         "a",  "\\", "0",  "1",  "2",  "3",  " $(", " $:",
                                         "  ", "C:", "x.exe", "\"C:\\a b\\t.exe\""};
    constexpr std::size_t count = sizeof pieces / sizeof pieces[0];
    std::size_t n = in.byte() % (maxPieces + 1);
    std::string out;
    for (std::size_t i = 0; i < n && !in.empty(); ++i) {
        std::uint8_t b = in.byte();
        if (b < 200) out += pieces[b % count];
        else out += static_cast<char>(in.byte() | 1);  // any other character but a zero
    }
    return out;
}

// A context path of UTF-16 units, some of them what code pages and UTF-8 get
// wrong most easily.
std::u16string widePath(Input& in) {
    static const char16_t* const pieces[] = {u"\\", u"C:", u"a", u"%1", u"Ж", u"ā", u"表", u"ソ",
                                             u"\U0001F600", u"\xD800", u"\xDC00", u" ", u"\"", u"$("};
    constexpr std::size_t count = sizeof pieces / sizeof pieces[0];
    std::u16string out;
    for (std::size_t n = in.byte() % 60; n > 0 && !in.empty(); --n) {
        std::uint8_t b = in.byte();
        if (b < 224) out += pieces[b % count];
        else out += static_cast<char16_t>((in.byte() << 8 | in.byte()) | 1);
    }
    if (out.size() > store::kPathSize - 1) out.resize(store::kPathSize - 1);
    return out;
}

// Each byte as the unit of the same number: how a single-byte code page's
// upper half reaches the command, letters outside ASCII included.
std::u16string widened(const std::string& text) {
    std::u16string out;
    for (char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

std::string shownWide(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) {
        if (unit >= 0x20 && unit < 0x7F) {
            out += static_cast<char>(unit);
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(unit));
            out += code;
        }
    }
    return fuzzing::shown(out);
}

template <typename Text>
struct Expected {
    Text program;
    bool hasArguments = false;
    Text arguments;
    bool hasDirectory = false;
    Text directory;
    int show = handler::kShowNormal;
};

// The ")" that pairs with the "(" before `start`: the first ")" at which
// the text from `start` on holds more ")" than "(".
template <typename Text>
std::size_t closingParenthesis(const Text& text, std::size_t start) {
    long opened = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        opened += text[i] == '(' ? 1 : text[i] == ')' ? -1 : 0;
        if (opened < 0) return i;
    }
    return std::string::npos;
}

// The notation read by its markers: the program, then the first " $(" or
// " $:" after it ends the arguments; directories run to ")" and a later one
// replaces an earlier one, each running to its paired ")"; the window state
// ends the action.
template <typename Text>
Expected<Text> readByMarkers(const Text& action) {
    using Char = typename Text::value_type;
    const Text quote(1, Char('"')), directoryMarker{Char(' '), Char('$'), Char('(')},
        stateMarker{Char(' '), Char('$'), Char(':')};
    Expected<Text> want;
    std::size_t programEnd;
    if (!action.empty() && action[0] == '"') {
        std::size_t close = action.find(Char('"'), 1);
        want.program = close == std::string::npos ? action + quote : action.substr(0, close + 1);
        programEnd = close == std::string::npos ? action.size() : close + 1;
    } else {
        programEnd = std::min(action.find(Char(' ')), action.size());
        want.program = action.substr(0, programEnd);
    }
    auto nextMarker = [&](std::size_t from) {
        std::size_t dir = action.find(directoryMarker, from), state = action.find(stateMarker, from);
        return std::min(dir, state);
    };
    std::size_t first = nextMarker(programEnd);
    std::size_t argumentsEnd = std::min(first, action.size());
    for (std::size_t i = programEnd; i < argumentsEnd; ++i) {
        if (action[i] == ' ' && (i + 1 >= action.size() || action[i + 1] != ' ')) {
            want.hasArguments = true;
            want.arguments = action.substr(i, argumentsEnd - i);
            break;
        }
    }
    for (std::size_t marker = first; marker != std::string::npos;) {
        if (action[marker + 2] == ':') {
            Char digit = marker + 3 < action.size() ? action[marker + 3] : Char(0);
            want.show = digit == '1'   ? handler::kShowMinimize
                        : digit == '2' ? handler::kShowMaximize
                        : digit == '3' ? handler::kShowHide
                                       : handler::kShowNormal;
            break;
        }
        std::size_t start = marker + 3, close = closingParenthesis(action, start);
        want.hasDirectory = true;
        want.directory = action.substr(start, close == std::string::npos ? std::string::npos
                                                                         : close - start);
        if (close == std::string::npos) break;
        marker = nextMarker(close + 1);
    }
    return want;
}

// How many units the character at `at` has: a UTF-16 surrogate pair is one
// character; in 8-bit text a character's bytes after the first are 10xxxxxx.
std::size_t characterUnits(const std::u16string& text, std::size_t at) {
    bool pair = text[at] >= 0xD800 && text[at] <= 0xDBFF && at + 1 < text.size() &&
                text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF;
    return pair ? 2 : 1;
}
std::size_t characterUnits(const std::string& text, std::size_t at) {
    std::size_t end = at + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    return end - at;
}

// The parent path: up to the last backslash, which a drive's root ("C:\\")
// keeps.
template <typename Text>
Text parentByTable(const Text& path) {
    using Char = typename Text::value_type;
    std::size_t slash = path.rfind(Char('\\'));
    if (slash == std::string::npos) return Text();
    bool letter = (path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z';
    return path.substr(0, slash == 2 && path[1] == ':' && letter ? 3 : slash);
}

// The placeholder table, one sequence at a time; "%" and the whole
// character after it are one sequence. A value ending in backslashes loses
// one before a backslash of the text and, in a command line, has them
// doubled before a quote that closes a quoted argument.
template <typename Text>
Text expandByTable(const Text& text, const Text& path, bool commandLine = false) {
    using Char = typename Text::value_type;
    const Text parent = parentByTable(path);
    Text out;
    std::size_t quotes = 0;  // literal quotes so far
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t percent = text.find(Char('%'), i);
        std::size_t end = percent == std::string::npos ? text.size() : percent;
        for (std::size_t k = i; k < end; ++k) quotes += text[k] == '"';
        out.append(text, i, end - i);
        if (percent == std::string::npos || percent + 1 == text.size()) break;
        Char which = text[percent + 1];
        bool placeholder = which == '1' || which == '0';
        i = percent + 1 + (placeholder ? 1 : characterUnits(text, percent + 1));
        if (!placeholder) continue;
        Text value = which == '1' ? path : parent;
        std::size_t trailing = 0;
        while (trailing < value.size() && value[value.size() - 1 - trailing] == '\\') ++trailing;
        Char next = i < text.size() ? text[i] : Char(0);
        if (trailing > 0 && next == '\\') value.pop_back();
        else if (trailing > 0 && commandLine && next == '"' && quotes % 2 == 1)
            value.append(trailing, Char('\\'));
        out += value;
    }
    return out;
}

// "%1" for several paths, read as a command line: inside a quoted argument
// the paths are joined by a closing quote, a space and an opening quote, each
// but the last with its trailing backslashes doubled before the quote that
// closes it; outside quotes they are joined by a space, and one that holds a
// blank or nothing stands in quotes of its own, its trailing backslashes
// doubled before them. The last path meets the text after the placeholder as
// a single path does. "%0" is the first path's parent; read plainly "%1" is
// the first path.
template <typename Text>
Text expandAllByTable(const Text& text, const std::vector<Text>& paths, bool commandLine) {
    using Char = typename Text::value_type;
    if (paths.size() == 1) return expandByTable(text, paths[0], commandLine);
    const Text first = paths.empty() ? Text() : paths[0];
    const Text quote(1, Char('"'));
    Text out;
    std::size_t quotes = 0;
    std::size_t i = 0;
    auto trailing = [](const Text& value) {
        std::size_t count = 0;
        while (count < value.size() && value[value.size() - 1 - count] == '\\') ++count;
        return count;
    };
    while (i < text.size()) {
        if (text[i] != '%') {
            quotes += text[i] == '"';
            out += text[i++];
            continue;
        }
        if (i + 1 == text.size()) break;
        Char which = text[i + 1];
        bool placeholder = which == '1' || which == '0';
        i += 1 + (placeholder ? 1 : characterUnits(text, i + 1));
        if (!placeholder) continue;
        Char next = i < text.size() ? text[i] : Char(0);
        // One value in the text's own way: through the single-path table,
        // which looks at the backslash or quote that follows it.
        auto single = [&](const Text& value) {
            const Text marker{Char('%'), Char('1')};
            Text rest = next == '\\' || next == '"' ? Text(1, next) : Text();
            Text expanded = expandByTable(Text(quotes % 2 ? quote : Text()) + marker + rest,
                                          value, commandLine);
            return expanded.substr(quotes % 2 ? 1 : 0, expanded.size() - (quotes % 2 ? 1 : 0) -
                                                           rest.size());
        };
        if (which == '0' || !commandLine || paths.size() < 2) {
            out += single(which == '0' ? parentByTable(first) : first);
            continue;
        }
        for (std::size_t k = 0; k < paths.size(); ++k) {
            Text value = paths[k];
            bool last = k + 1 == paths.size();
            if (quotes % 2) {
                if (k > 0) out += quote + Text(1, Char(' ')) + quote;
                out += last ? single(value) : value + Text(trailing(value), Char('\\'));
                continue;
            }
            if (k > 0) out += Char(' ');
            bool blank = value.empty() || value.find(Char(' ')) != Text::npos ||
                         value.find(Char('\t')) != Text::npos;
            if (!blank) {
                out += last ? single(value) : value;
                continue;
            }
            if (last && next == '\\' && trailing(value) > 0) value.pop_back();
            out += quote + value + Text(trailing(value), Char('\\')) + quote;
        }
    }
    return out;
}

// A command line's arguments as a program started with it reads them
// (CommandLineToArgvW's rules for backslashes and quotes).
std::vector<std::u16string> readArguments(const std::u16string& line) {
    std::vector<std::u16string> out;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) return out;
        std::u16string argument;
        bool quoted = false;
        for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
            std::size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') ++slashes, ++i;
            if (i < line.size() && line[i] == '"') {
                argument.append(slashes / 2, u'\\');
                if (slashes % 2) argument += u'"';
                else quoted = !quoted;
            } else if (slashes > 0) {
                argument.append(slashes, u'\\');
                --i;  // the character after the backslashes is read on its own
            } else if (i < line.size()) {
                argument += line[i];
            }
        }
        out.push_back(argument);
    }
}

std::string shownPaths(const std::vector<std::u16string>& paths) {
    std::string out;
    for (const std::u16string& path : paths) out += (out.empty() ? "" : ", ") + shownWide(path);
    return "[" + out + "]";
}

// The action with `first` and up to five more paths at once: the command as
// the table gives it, one path as the single form gives it, and the paths
// read back exactly as the program reads its command line.
void checkSeveralPaths(Input& in, const std::u16string& action, const std::u16string& first) {
    std::vector<std::u16string> paths{first};
    for (std::size_t n = in.byte() % 6; n > 0; --n) paths.push_back(widePath(in));
    const std::string context = "action " + shownWide(action) + ", paths " + shownPaths(paths);

    Expected<std::u16string> want = readByMarkers(action);
    std::u16string directory = expandAllByTable(want.directory, paths, false);
    bool starts = !action.empty() && action[0] != u' ' &&
                  (!want.hasDirectory || directory.size() < store::kPathSize);
    handler::Command command;
    fuzzing::check(handler::prepareCommand(action, paths, command) == starts,
                   "a command with several paths starts unless it has no program or its directory is too long",
                   starts ? "starts" : "starts nothing", starts ? "starts nothing" : "starts", context);
    if (starts) {
        fuzzing::checkEqual(shownWide(want.hasArguments ? expandAllByTable(want.arguments, paths, true) : u""),
                            shownWide(command.arguments), "the arguments with several paths", context);
        fuzzing::checkEqual(shownWide(directory), shownWide(command.directory),
                            "the directory with several paths (the first path's)", context);
        handler::Command one;
        handler::prepareCommand(action, std::vector<std::u16string>{first}, one);
        fuzzing::checkEqual(shownWide(want.hasArguments ? expandByTable(want.arguments, first, true) : u""),
                            shownWide(one.arguments), "the arguments with a list of one path", context);
    }

    // Each path reaches the program as one argument of its own, exactly.
    for (const std::u16string& path : paths)
        if (path.find(u'"') != std::u16string::npos) return;  // no path holds a quote
    bool oneBlank = paths.size() == 1 && (first.empty() || first.find_first_of(u" \t") != std::u16string::npos);
    for (const char16_t* form : {u"p \"%1\" \"%0\"", u"p %1 \"%0\""}) {
        if (oneBlank && form[2] == u'%') continue;  // one path goes in as it is, as ever
        handler::Command quoted;
        if (!handler::prepareCommand(form, paths, quoted)) continue;
        std::vector<std::u16string> expected = paths;
        expected.push_back(parentByTable(first));
        std::vector<std::u16string> read = readArguments(quoted.arguments);
        std::string at = context + ", form " + shownWide(form) + ", command line " +
                         shownWide(quoted.arguments);
        fuzzing::checkEqual(expected.size(), read.size(), "how many arguments the program reads", at);
        for (std::size_t k = 0; k < read.size() && k < expected.size(); ++k)
            fuzzing::checkEqual(shownWide(expected[k]), shownWide(read[k]),
                                k + 1 < expected.size() ? "a path the program reads" : "the parent the program reads",
                                at);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    std::uint8_t mode = in.byte();
    std::string path = mode & 1 ? tokenText(in, 40) : in.text(store::kPathSize - 1);
    if (path.size() > store::kPathSize - 1) path.resize(store::kPathSize - 1);
    std::string action = mode & 2 ? tokenText(in, 255) : in.text(store::kActionSize + 100);
    const std::string context = "action " + fuzzing::shown(action) + ", path " + fuzzing::shown(path);

    bool nothing = handler::actionRunsNothing(action.c_str());
    fuzzing::check(nothing == (action.empty() || action[0] == ' '),
                   "an action runs nothing exactly when it is empty or begins with a space",
                   action.empty() || action[0] == ' ' ? "runs nothing" : "runs",
                   nothing ? "runs nothing" : "runs", context);

    handler::ParsedAction parsed = handler::parseAction(action.c_str());
    Expected<std::string> want = readByMarkers(action);
    fuzzing::checkEqual(want.program, parsed.program, "the program", context);
    fuzzing::checkEqual(want.hasArguments, parsed.hasArguments, "whether there are arguments",
                        context);
    fuzzing::checkEqual(want.arguments, parsed.arguments, "the arguments", context);
    fuzzing::checkEqual(want.hasDirectory, parsed.hasDirectory, "whether there is a directory",
                        context);
    fuzzing::checkEqual(want.directory, parsed.directory, "the directory", context);
    fuzzing::checkEqual(static_cast<std::uint64_t>(want.show),
                        static_cast<std::uint64_t>(parsed.showCommand), "the show command",
                        context);
    if (parsed.hasArguments)
        fuzzing::check(action.find(parsed.arguments) != std::string::npos && parsed.arguments[0] == ' ',
                       "the arguments are a piece of the action beginning with a space",
                       "a piece of the action", fuzzing::shown(parsed.arguments), context);

    // What would run: every placeholder replaced in full, nothing cut, however
    // long the path and however many placeholders.
    fuzzing::checkEqual(parentByTable(path), handler::parentPath(path), "the parent path", context);
    fuzzing::checkEqual(expandByTable(parsed.arguments, path),
                        handler::expandPlaceholders(parsed.arguments, path),
                        "the expanded arguments", context);
    fuzzing::checkEqual(expandByTable(parsed.directory, path),
                        handler::expandPlaceholders(parsed.directory, path),
                        "the expanded directory", context);
    fuzzing::checkEqual(expandByTable(action, path), handler::expandPlaceholders(action, path),
                        "the expanded action", context);
    fuzzing::checkEqual(expandByTable(action, std::string()), handler::expandPlaceholders(action, ""),
                        "the expansion without a context path", context);
    fuzzing::checkEqual(expandByTable(action, path, true),
                        handler::expandPlaceholders(action, path, handler::Reading::CommandLine),
                        "the action expanded as a command line", context);

    // The command as it starts, in UTF-16, read unit by unit.
    // Now and then the action ends in any UTF-16 text too, surrogates included.
    const std::u16string wideAction = widened(action) + (mode & 8 ? widePath(in) : u"");
    const std::u16string wide = mode & 4 ? widePath(in) : widened(path);
    const std::string wideContext = "action " + shownWide(wideAction) + ", path " + shownWide(wide);
    Expected<std::u16string> wideWant = readByMarkers(wideAction);
    std::u16string directory = expandByTable(wideWant.directory, wide);
    bool noProgram = wideAction.empty() || wideAction[0] == u' ';
    bool starts = !noProgram && (!wideWant.hasDirectory || directory.size() < store::kPathSize);
    handler::Command command;
    fuzzing::check(handler::prepareCommand(wideAction, wide, command) == starts,
                   "a command starts unless it has no program or its directory is 260 characters or more",
                   starts ? "starts" : "starts nothing", starts ? "starts nothing" : "starts", wideContext);
    checkSeveralPaths(in, wideAction, wide);
    if (!starts) return 0;
    fuzzing::checkEqual(shownWide(wideWant.program), shownWide(command.program), "the wide program",
                        wideContext);
    fuzzing::checkEqual(shownWide(wideWant.hasArguments ? expandByTable(wideWant.arguments, wide, true) : u""),
                        shownWide(command.arguments), "the wide arguments", wideContext);
    fuzzing::checkEqual(wideWant.hasArguments, command.hasArguments, "whether there are wide arguments",
                        wideContext);
    fuzzing::checkEqual(shownWide(directory), shownWide(command.directory), "the wide directory",
                        wideContext);
    fuzzing::checkEqual(static_cast<std::uint64_t>(wideWant.show),
                        static_cast<std::uint64_t>(command.showCommand), "the wide show command",
                        wideContext);

    // The placeholders as the editor inserts them reach the program as the
    // paths themselves, drive roots included (a path holds no quote).
    if (wide.find(u'"') != std::u16string::npos) return 0;
    handler::Command quoted;
    if (!handler::prepareCommand(u"p \"%1\" \"%0\"", wide, quoted)) return 0;
    std::vector<std::u16string> read = readArguments(quoted.arguments);
    fuzzing::checkEqual(std::size_t(2), read.size(), "how many arguments the program reads", wideContext);
    if (read.size() == 2) {
        fuzzing::checkEqual(shownWide(wide), shownWide(read[0]), "the path the program reads", wideContext);
        fuzzing::checkEqual(shownWide(parentByTable(wide)), shownWide(read[1]),
                            "the parent path the program reads", wideContext);
    }
    return 0;
}
