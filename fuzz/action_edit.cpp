// The four action edits on any action field (also one filled to its last
// byte without a terminator) with any argument, up to past the 2047-character
// limit. Each result is compared with what the edit must produce, worked out
// on the text before it; one that would pass the limit must be refused with
// the field untouched. A second mode starts from a well-formed action built
// of its parts and checks, part by part, that each edit changed only its own
// part and that the parse reads the parts back.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "action.h"
#include "action_edit.h"
#include "fuzz_support.h"
#include "store_layout.h"

namespace {

using fuzzing::Input;
constexpr std::size_t kLimit = store::kActionSize - 1;

enum Edit { kArgument, kDirectory, kWindowState, kProgram };
const char* const kEditNames[] = {"insert argument", "set working directory", "set window state",
                                  "replace program"};

std::size_t suffixMarkerOf(const std::string& a) {
    for (std::size_t i = 0; i + 2 < a.size(); ++i)
        if (a[i] == ' ' && a[i + 1] == '$' && (a[i + 2] == '(' || a[i + 2] == ':')) return i;
    return a.size();
}

// An argument as it stands between quotes: a last backslash doubled, so
// that it does not escape the closing quote.
std::string quotedArgument(const std::string& text) {
    return !text.empty() && text.back() == '\\' ? text + '\\' : text;
}

// The ")" that pairs with a "(" just before `start`.
std::size_t pairedParenthesis(const std::string& a, std::size_t start) {
    long open = 1;
    for (std::size_t i = start; i < a.size(); ++i)
        if ((open += a[i] == '(' ? 1 : a[i] == ')' ? -1 : 0) == 0) return i;
    return std::string::npos;
}

// The text with each parenthesis that has no partner left out.
std::string paired(const std::string& text) {
    std::string kept;
    std::vector<std::size_t> open;
    for (char c : text) {
        if (c == ')' && open.empty()) continue;
        if (c == '(') open.push_back(kept.size());
        if (c == ')') open.pop_back();
        kept += c;
    }
    for (auto at = open.rbegin(); at != open.rend(); ++at) kept.erase(*at, 1);
    return kept;
}

// What the edit turns `a` into, by the rules of the action menu; the result
// may be longer than the field, in which case the edit must refuse.
std::string edited(const std::string& a, Edit edit, const std::string& text, char digit) {
    std::size_t m = suffixMarkerOf(a);
    switch (edit) {
        case kArgument:
            return a.substr(0, m) + " \"" + quotedArgument(text) + "\"" + a.substr(m);
        case kDirectory: {
            if (m == a.size() || a[m + 2] != '(') return a.substr(0, m) + " $(" + text + ")" + a.substr(m);
            std::size_t start = m + 3, close = pairedParenthesis(a, start);
            if (close == std::string::npos) return a.substr(0, start) + text + ")";
            return a.substr(0, start) + text + a.substr(close);
        }
        case kWindowState: {
            std::size_t s = a.find(" $:");
            if (s == std::string::npos) return a + " $:" + digit;
            std::size_t at = s + 3;
            return a.substr(0, at) + digit + (at < a.size() ? a.substr(at + 1) : "");
        }
        case kProgram: {
            std::size_t rest;
            if (a.empty() || a[0] == ' ') rest = 0;
            else if (a[0] == '"') rest = a.find('"', 1) == std::string::npos ? a.size() : a.find('"', 1) + 1;
            else rest = std::min(a.find(' '), a.size());
            return "\"" + text + "\"" + a.substr(rest);
        }
    }
    return a;
}

bool apply(editor::ActionField& field, Edit edit, const std::string& text, char digit) {
    switch (edit) {
        case kArgument: return editor::insertArgument(field, text.c_str());
        case kDirectory: return editor::setWorkingDirectory(field, text.c_str());
        case kWindowState: return editor::setWindowState(field, digit);
        case kProgram: return editor::replaceProgram(field, text.c_str());
    }
    return false;
}

// Texts of a well-formed action's parts: no "$" anywhere (so no marker hides
// in them), parentheses in pairs in a directory, no quote in a quoted
// program.
std::string partText(Input& in, std::size_t maxLength, const char* alphabet) {
    std::size_t n = std::strlen(alphabet);
    std::size_t length = in.byte() % (maxLength + 1);
    if (in.byte() % 16 == 0) length = in.u16() % (kLimit + 60);  // now and then near the limit
    std::string out;
    for (std::size_t i = 0; i < length; ++i) out += alphabet[in.byte() % n];
    return out;
}

struct Parts {
    std::string program, arguments, directory;
    bool hasDirectory = false;
    char state = 0;  // 0: no window-state suffix
    std::string text() const {
        return program + arguments + (hasDirectory ? " $(" + directory + ")" : "") +
               (state ? std::string(" $:") + state : "");
    }
};

void checkParts(const Parts& parts, const std::string& context) {
    if (parts.program.empty()) return;  // no program: the action runs nothing anyway
    handler::ParsedAction parsed = handler::parseAction(parts.text().c_str());
    fuzzing::checkEqual(parts.program, parsed.program, "the parse reads the program back", context);
    fuzzing::checkEqual(parts.arguments, parsed.arguments, "the parse reads the arguments back",
                        context);
    fuzzing::checkEqual(parts.hasDirectory ? parts.directory : "", parsed.directory,
                        "the parse reads the directory back", context);
    int show = parts.state == '1'   ? handler::kShowMinimize
               : parts.state == '2' ? handler::kShowMaximize
               : parts.state == '3' ? handler::kShowHide
                                    : handler::kShowNormal;
    fuzzing::checkEqual(static_cast<std::uint64_t>(show),
                        static_cast<std::uint64_t>(parsed.showCommand),
                        "the parse reads the window state back", context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    editor::ActionField field;
    std::memset(field, 0, sizeof field);
    bool structured = in.byte() % 3 == 0;
    Parts parts;
    static const char kPlain[] = "abcXYZ019.\\:%\"";
    static const char kQuoted[] = "abc XYZ 019.\\:%";
    static const char kDirectoryText[] = "abc XYZ 019.\\:%\"()";

    if (structured) {
        bool quoted = in.flag();
        parts.program = quoted ? "\"" + partText(in, 20, kQuoted) + "\"" : partText(in, 12, kPlain);
        if (!quoted && !parts.program.empty() && parts.program[0] == '"') parts.program[0] = 'q';
        for (std::size_t n = in.byte() % 4; n > 0; --n) {
            std::string word = partText(in, 8, kPlain);
            if (!word.empty()) parts.arguments += " " + word;
        }
        parts.hasDirectory = in.flag();
        if (parts.hasDirectory) parts.directory = paired(partText(in, 20, kDirectoryText));
        if (in.flag()) parts.state = static_cast<char>('0' + in.byte() % 4);
        if (parts.text().size() > kLimit) return 0;
        std::memcpy(field, parts.text().c_str(), parts.text().size() + 1);
    } else if (in.flag()) {
        std::string text = in.text(kLimit + 40);
        std::memcpy(field, text.data(), std::min(text.size(), sizeof field));
    } else {
        // The whole field as it comes, zeros and a missing terminator included.
        std::vector<std::uint8_t> raw = in.bytes(in.u16() % (sizeof field + 1));
        if (!raw.empty()) std::memcpy(field, raw.data(), raw.size());
    }

    for (int step = 0; step < 24 && !in.empty(); ++step) {
        Edit edit = static_cast<Edit>(in.byte() % 4);
        std::string text;
        char digit = '0';
        if (edit == kWindowState) {
            std::uint8_t b = in.byte();
            digit = b < 240 ? static_cast<char>('0' + b % 4) : static_cast<char>(in.byte());
        } else if (structured) {
            text = partText(in, 24, edit == kDirectory ? kDirectoryText : edit == kProgram ? kQuoted : kPlain);
            if (edit == kDirectory) {
                // The page takes a directory only when it reads back as itself.
                handler::ParsedAction read = handler::parseAction(("p $(" + text + ") $:1").c_str());
                bool readsBack = read.directory == text && read.showCommand == handler::kShowMinimize;
                fuzzing::checkEqual(readsBack, editor::readsBackAsDirectory(text.c_str()),
                                    "whether a directory reads back as itself", fuzzing::shown(text));
                text = paired(text);
            }
        } else {
            text = in.text(kLimit + 40);
        }

        // The field is read up to its 2047th character: a damaged one has no
        // terminator in its last byte.
        std::string before(field, ::strnlen(field, kLimit));
        editor::ActionField saved;
        std::memcpy(saved, field, sizeof field);
        bool ok = apply(field, edit, text, digit);
        std::string context = std::string(kEditNames[edit]) + " with " +
                              (edit == kWindowState ? fuzzing::shown(std::string(1, digit))
                                                    : fuzzing::shown(text)) +
                              " on " + fuzzing::shown(before);

        if (edit == kWindowState && (digit < '0' || digit > '3')) {
            fuzzing::check(!ok && std::memcmp(saved, field, sizeof field) == 0,
                           "a window state other than 0 to 3 is refused, the action untouched",
                           "refused, unchanged", ok ? "taken" : "refused but changed", context);
            continue;
        }
        std::string want = edited(before, edit, text, digit);
        if (want.size() > kLimit) {
            fuzzing::check(!ok && std::memcmp(saved, field, sizeof field) == 0,
                           "an edit past 2047 characters is refused, the action untouched",
                           "refused, unchanged (the result would have " +
                               std::to_string(want.size()) + " characters)",
                           ok ? "taken: " + fuzzing::shown(std::string(field, ::strnlen(field, sizeof field)))
                              : "refused but changed",
                           context);
            continue;
        }
        fuzzing::check(ok, "an edit that fits is taken", "taken", "refused", context);
        fuzzing::check(fuzzing::terminated(field, sizeof field), "the edited field is terminated",
                       "a terminator within 2048 bytes", "none", context);
        fuzzing::checkEqual(want, std::string(field), "the edited action", context);

        if (structured) {
            switch (edit) {
                case kArgument: parts.arguments += " \"" + quotedArgument(text) + "\""; break;
                case kDirectory:
                    parts.hasDirectory = true;
                    parts.directory = text;
                    break;
                case kWindowState: parts.state = digit; break;
                case kProgram: parts.program = "\"" + text + "\""; break;
            }
            fuzzing::checkEqual(parts.text(), std::string(field),
                                "each edit changes its own part of a well-formed action alone",
                                context);
            checkParts(parts, context);
        }
    }
    return 0;
}
