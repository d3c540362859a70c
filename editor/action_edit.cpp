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

std::size_t findSuffixMarker(const char* action, std::size_t length) {
    for (std::size_t i = 0; i + 2 < length; ++i) {
        if (action[i] == ' ' && action[i + 1] == '$' && (action[i + 2] == '(' || action[i + 2] == ':'))
            return i;
    }
    return length;
}

}  // namespace

std::size_t suffixMarker(const char* action) noexcept {
    if (!action) return 0;
    return findSuffixMarker(action, ::strnlen(action, store::kActionSize - 1));
}

bool insertArgument(ActionField& action, const char* text) noexcept {
    std::size_t length = actionLength(action);
    std::size_t marker = findSuffixMarker(action, length);
    ActionBuilder edited;
    edited.append(action, marker);
    edited.append(" \"");
    edited.append(orEmpty(text));
    edited.append("\"");
    edited.append(action + marker, length - marker);
    return edited.storeInto(action);
}

bool setWorkingDirectory(ActionField& action, const char* directory) noexcept {
    std::size_t length = actionLength(action);
    std::size_t marker = findSuffixMarker(action, length);
    ActionBuilder edited;
    if (marker < length && action[marker + 2] == '(') {
        std::size_t start = marker + 3;
        const void* close = std::memchr(action + start, ')', length - start);
        edited.append(action, start);
        edited.append(orEmpty(directory));
        if (close) {
            std::size_t end = static_cast<std::size_t>(static_cast<const char*>(close) - action);
            edited.append(action + end, length - end);
        } else {
            edited.append(")");
        }
    } else {
        edited.append(action, marker);
        edited.append(" $(");
        edited.append(orEmpty(directory));
        edited.append(")");
        edited.append(action + marker, length - marker);
    }
    return edited.storeInto(action);
}

bool setWindowState(ActionField& action, char digit) noexcept {
    if (digit < '0' || digit > '3') return false;
    std::size_t length = actionLength(action);
    const char digitText[2] = {digit, '\0'};
    ActionBuilder edited;
    std::size_t state = length;
    for (std::size_t i = 0; i + 2 < length; ++i) {
        if (action[i] == ' ' && action[i + 1] == '$' && action[i + 2] == ':') {
            state = i;
            break;
        }
    }
    if (state < length) {
        std::size_t digitAt = state + 3;
        edited.append(action, digitAt);
        edited.append(digitText);
        if (digitAt < length) edited.append(action + digitAt + 1, length - digitAt - 1);
    } else {
        edited.append(action, length);
        edited.append(" $:");
        edited.append(digitText);
    }
    return edited.storeInto(action);
}

bool replaceProgram(ActionField& action, const char* program) noexcept {
    std::size_t length = actionLength(action);
    std::size_t rest = length;  // where the part after the old program starts
    if (length == 0) {
        rest = 0;
    } else if (action[0] == ' ') {
        rest = 0;
    } else if (action[0] == '"') {
        const void* closing = std::memchr(action + 1, '"', length - 1);
        rest = closing ? static_cast<std::size_t>(static_cast<const char*>(closing) - action) + 1
                       : length;
    } else {
        const void* space = std::memchr(action, ' ', length);
        rest = space ? static_cast<std::size_t>(static_cast<const char*>(space) - action) : length;
    }
    ActionBuilder edited;
    edited.append("\"");
    edited.append(orEmpty(program));
    edited.append("\"");
    edited.append(action + rest, length - rest);
    return edited.storeInto(action);
}

}  // namespace editor
