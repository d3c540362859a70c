#include "action_edit.h"

#include <cstring>

namespace editor {

namespace {

// Builds an edited action in a buffer of the field's size, remembering
// whether anything did not fit.
class ActionBuilder {
public:
    void append(const char* text, std::size_t length) {
        if (length > kLimit - length_) {
            overflow_ = true;
            return;
        }
        std::memcpy(buffer_ + length_, text, length);
        length_ += length;
    }
    void append(const char* text) { append(text, std::strlen(text)); }

    // Copies the result into the field unless something did not fit.
    bool storeInto(ActionField& action) {
        if (overflow_) return false;
        buffer_[length_] = '\0';
        std::memcpy(action, buffer_, length_ + 1);
        return true;
    }

private:
    static constexpr std::size_t kLimit = store::kActionSize - 1;
    char buffer_[store::kActionSize];
    std::size_t length_ = 0;
    bool overflow_ = false;
};

// The field is always terminated by the editor; a damaged one is read up to
// its last character only.
std::size_t actionLength(const ActionField& action) {
    return ::strnlen(action, store::kActionSize - 1);
}

const char* orEmpty(const char* text) { return text ? text : ""; }

// The first space followed by "$" and one of `kinds`; the length when none.
std::size_t findMarker(const char* action, std::size_t length, const char* kinds) {
    for (std::size_t i = 0; i + 2 < length; ++i) {
        if (action[i] == ' ' && action[i + 1] == '$' && action[i + 2] != '\0' &&
            std::strchr(kinds, action[i + 2]))
            return i;
    }
    return length;
}

// The ")" that closes the "(" just before `from`, counting the parentheses
// between; `length` when it never closes.
std::size_t closingParenthesis(const char* text, std::size_t from, std::size_t length) {
    std::size_t depth = 1;
    for (std::size_t i = from; i < length; ++i) {
        if (text[i] == '(') ++depth;
        else if (text[i] == ')' && --depth == 0) return i;
    }
    return length;
}

std::size_t findSuffixMarker(const char* action, std::size_t length) {
    return findMarker(action, length, "(:");
}

// Every edit is one of these: the characters from `from` up to `to` give way
// to before + text + after; the rest of the action stays. Refused (false, the
// action unchanged) when the result would not fit the field.
bool replaceRange(ActionField& action, std::size_t length, std::size_t from, std::size_t to,
                  const char* before, const char* text, const char* after) {
    ActionBuilder edited;
    edited.append(action, from);
    edited.append(before);
    edited.append(orEmpty(text));
    edited.append(after);
    edited.append(action + to, length - to);
    return edited.storeInto(action);
}

}  // namespace

std::size_t suffixMarker(const char* action) noexcept {
    if (!action) return 0;
    return findSuffixMarker(action, ::strnlen(action, store::kActionSize - 1));
}

bool insertArgument(ActionField& action, const char* text) noexcept {
    std::size_t length = actionLength(action);
    std::size_t marker = findSuffixMarker(action, length);
    const char* value = orEmpty(text);
    std::size_t valueLength = std::strlen(value);
    const char* closing = valueLength > 0 && value[valueLength - 1] == '\\' ? "\\\"" : "\"";
    return replaceRange(action, length, marker, marker, " \"", value, closing);
}

bool setWorkingDirectory(ActionField& action, const char* directory) noexcept {
    std::size_t length = actionLength(action);
    std::size_t marker = findSuffixMarker(action, length);
    if (marker == length || action[marker + 2] != '(')
        return replaceRange(action, length, marker, marker, " $(", directory, ")");
    // Replace the old directory; one without ")" runs to the end and gets one.
    std::size_t start = marker + 3;
    std::size_t end = closingParenthesis(action, start, length);
    if (end == length) return replaceRange(action, length, start, length, "", directory, ")");
    return replaceRange(action, length, start, end, "", directory, "");
}

bool readsBackAsDirectory(const char* directory) noexcept {
    std::size_t depth = 0;
    for (const char* c = orEmpty(directory); *c; ++c) {
        if (*c == '(') ++depth;
        else if (*c == ')' && depth-- == 0) return false;
    }
    return depth == 0;
}

bool setWindowState(ActionField& action, char digit) noexcept {
    if (digit < '0' || digit > '3') return false;
    std::size_t length = actionLength(action);
    const char digitText[2] = {digit, '\0'};
    std::size_t state = findMarker(action, length, ":");
    if (state == length) return replaceRange(action, length, length, length, " $:", digitText, "");
    std::size_t digitAt = state + 3;
    std::size_t digitEnd = digitAt < length ? digitAt + 1 : length;
    return replaceRange(action, length, digitAt, digitEnd, "", digitText, "");
}

bool replaceProgram(ActionField& action, const char* program) noexcept {
    std::size_t length = actionLength(action);
    std::size_t rest = length;  // where the part after the old program starts
    if (length == 0 || action[0] == ' ') {
        rest = 0;
    } else if (action[0] == '"') {
        const void* closing = std::memchr(action + 1, '"', length - 1);
        rest = closing ? static_cast<std::size_t>(static_cast<const char*>(closing) - action) + 1
                       : length;
    } else {
        const void* space = std::memchr(action, ' ', length);
        rest = space ? static_cast<std::size_t>(static_cast<const char*>(space) - action) : length;
    }
    return replaceRange(action, length, 0, rest, "\"", program, "\"");
}

}  // namespace editor
