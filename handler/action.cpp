#include "action.h"


#include "store_layout.h"
#include "wide_text.h"

namespace handler {

namespace {

// The ")" that closes a "(" just before `from`, counting the parentheses
// between: "Program Files (x86)" is part of a directory. npos when it never
// closes.
std::size_t closingParenthesis(const std::string& text, std::size_t from) {
    std::size_t depth = 1;
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        else if (text[i] == ')' && --depth == 0) return i;
    }
    return std::string::npos;
}

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::size_t trailingBackslashes(const std::string& path) {
    std::size_t last = path.find_last_not_of('\\');
    return last == std::string::npos ? path.size() : path.size() - last - 1;
}

// A path as the last thing before `next`, the text's character after the
// placeholder ('\0' at the end). A path that ends in a backslash loses it
// before a backslash of the text, and before the quote that closes a
// quoted argument has its backslashes doubled, so that the quote stays one.
void appendPath(std::string& out, const std::string& path, char next, bool closesQuote) {
    out += path;
    if (path.empty() || path.back() != '\\') return;
    if (next == '\\')
        out.pop_back();
    else if (closesQuote && next == '"')
        out.append(trailingBackslashes(path), '\\');
}

// A path in quotes of its own, as the last thing before `next`.
void appendQuotedPath(std::string& out, const std::string& path, char next) {
    bool joins = next == '\\' && !path.empty() && path.back() == '\\';
    out += '"';
    out.append(path, 0, path.size() - (joins ? 1 : 0));
    out.append(trailingBackslashes(path) - (joins ? 1 : 0), '\\');
    out += '"';
}

// "%1" for several paths in a command line.
void appendPaths(std::string& out, const std::vector<std::string>& paths, char next, bool quoted) {
    for (std::size_t k = 0; k < paths.size(); ++k) {
        const std::string& path = paths[k];
        bool last = k + 1 == paths.size();
        if (quoted) {
            // Each path closes the quote it stands in and opens the next one's.
            if (k > 0) out += "\" \"";
            appendPath(out, path, last ? next : '"', true);
            continue;
        }
        if (k > 0) out += ' ';
        if (path.empty() || path.find_first_of(" \t") != std::string::npos)
            appendQuotedPath(out, path, last ? next : ' ');
        else
            appendPath(out, path, last ? next : ' ', false);
    }
}

}  // namespace

bool actionRunsNothing(const char* action) {
    return action == nullptr || action[0] == '\0' || action[0] == ' ';
}

ParsedAction parseAction(const char* action) {
    ParsedAction parsed;
    const std::string text = action ? action : "";
    const std::size_t length = text.size();
    std::size_t pos = 0;

    if (length > 0 && text[0] == '"') {
        std::size_t close = text.find('"', 1);
        if (close == std::string::npos) {
            parsed.program = text + '"';
            pos = length;
        } else {
            parsed.program = text.substr(0, close + 1);
            pos = close + 1;
        }
    } else {
        std::size_t space = text.find(' ');
        if (space == std::string::npos) space = length;
        parsed.program = text.substr(0, space);
        pos = space;
    }

    std::size_t argumentsStart = std::string::npos;
    std::size_t argumentsEnd = length;
    auto endArguments = [&](std::size_t at) {
        if (argumentsStart != std::string::npos && argumentsEnd == length) argumentsEnd = at;
    };

    while (pos < length) {
        if (text[pos] != ' ') {
            ++pos;
            continue;
        }
        char next = pos + 1 < length ? text[pos + 1] : '\0';
        char after = pos + 2 < length ? text[pos + 2] : '\0';
        if (next == '$' && after == '(') {
            endArguments(pos);
            std::size_t start = pos + 3;
            std::size_t close = closingParenthesis(text, start);
            std::size_t end = close == std::string::npos ? length : close;
            parsed.hasDirectory = true;
            parsed.directory = text.substr(start, end - start);
            pos = close == std::string::npos ? length : close + 1;
            continue;
        }
        if (next == '$' && after == ':') {
            endArguments(pos);
            char digit = pos + 3 < length ? text[pos + 3] : '\0';
            switch (digit) {
                case '1': parsed.showCommand = kShowMinimize; break;
                case '2': parsed.showCommand = kShowMaximize; break;
                case '3': parsed.showCommand = kShowHide; break;
                default: parsed.showCommand = kShowNormal; break;
            }
            break;  // nothing after the window state is read
        }
        if (next != ' ' && argumentsStart == std::string::npos && !parsed.hasDirectory)
            argumentsStart = pos;
        ++pos;
    }

    if (argumentsStart != std::string::npos) {
        parsed.hasArguments = true;
        parsed.arguments = text.substr(argumentsStart, argumentsEnd - argumentsStart);
    }
    return parsed;
}

std::string parentPath(const std::string& contextPath) {
    std::size_t last = contextPath.rfind('\\');
    if (last == std::string::npos) return std::string();
    bool atDriveRoot = last == 2 && contextPath[1] == ':' && isAsciiLetter(contextPath[0]);
    return contextPath.substr(0, atDriveRoot ? last + 1 : last);
}

std::string expandPlaceholders(const std::string& text, const std::string& contextPath,
                               Reading reading) {
    return expandPlaceholders(text, std::vector<std::string>{contextPath}, reading);
}

std::string expandPlaceholders(const std::string& text, const std::vector<std::string>& paths,
                               Reading reading) {
    static const std::string none;
    const std::string& first = paths.empty() ? none : paths.front();
    const std::string parent = parentPath(first);
    const bool commandLine = reading == Reading::CommandLine;
    std::string out;
    out.reserve(text.size());
    bool quoted = false;  // inside a double-quoted argument of a command line
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            if (text[i] == '"') quoted = !quoted;
            out += text[i];
            continue;
        }
        if (i + 1 >= text.size()) break;
        char which = text[++i];
        if (which != '1' && which != '0') {
            // any other character goes whole, not just its first byte
            while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) ++i;
            continue;
        }
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (which == '1' && commandLine && paths.size() > 1)
            appendPaths(out, paths, next, quoted);
        else
            appendPath(out, which == '1' ? first : parent, next, commandLine && quoted);
    }
    return out;
}

bool prepareCommand(const std::u16string& action, const std::u16string& contextPath,
                    Command& command) {
    return prepareCommand(action, std::vector<std::u16string>{contextPath}, command);
}

bool prepareCommand(const std::u16string& action, const std::vector<std::u16string>& paths,
                    Command& command) {
    const std::string text = toWtf8(action);
    if (actionRunsNothing(text.c_str())) return false;
    std::vector<std::string> path;
    path.reserve(paths.size());
    for (const std::u16string& each : paths) path.push_back(toWtf8(each));
    ParsedAction parsed = parseAction(text.c_str());
    command = Command();
    command.program = fromWtf8(parsed.program);
    command.showCommand = parsed.showCommand;
    if (parsed.hasArguments) {
        command.hasArguments = true;
        command.arguments =
            fromWtf8(expandPlaceholders(parsed.arguments, path, Reading::CommandLine));
    }
    if (parsed.hasDirectory) {
        command.hasDirectory = true;
        command.directory = fromWtf8(expandPlaceholders(parsed.directory, path));
        if (command.directory.size() >= store::kPathSize) return false;
    }
    return true;
}

std::size_t commandLineLength(const Command& command) {
    std::size_t program = command.program.size();
    if (program >= 2 && command.program.front() == u'"' && command.program.back() == u'"')
        program -= 2;  // its own quotes are the ones counted below
    if (program < store::kPathSize - 1) program = store::kPathSize - 1;
    std::size_t arguments = command.hasArguments ? 1 + command.arguments.size() : 0;
    return 2 + program + arguments + 1;
}

bool exceedsCommandLineLimit(const Command& command) {
    return commandLineLength(command) > kCommandLineLimit;
}

}  // namespace handler
