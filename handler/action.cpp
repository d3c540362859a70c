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
    const std::string parent = parentPath(contextPath);
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
        const std::string& path = which == '1' ? contextPath : parent;
        out += path;
        if (path.empty() || path.back() != '\\' || i + 1 >= text.size()) continue;
        if (text[i + 1] == '\\')
            out.pop_back();
        else if (reading == Reading::CommandLine && quoted && text[i + 1] == '"')
            out.append(path.size() - path.find_last_not_of('\\') - 1, '\\');
    }
    return out;
}

bool prepareCommand(const std::u16string& action, const std::u16string& contextPath,
                    Command& command) {
    const std::string text = toWtf8(action);
    if (actionRunsNothing(text.c_str())) return false;
    const std::string path = toWtf8(contextPath);
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

}  // namespace handler
