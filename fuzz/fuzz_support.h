// What every fuzz target shares: reading the input bytes as the values a
// target needs, and failing with a message that says what was expected and
// what was found.
//
// The reader is our own rather than libFuzzer's FuzzedDataProvider so that
// the targets also build with g++ for the replay programs of the native
// build, where no libFuzzer is installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fuzzing {

// Hands out the input front to back. Once the bytes run out every read gives
// zeros and empty texts, so a target never needs to check for the end.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t remaining() const { return size_ - pos_; }

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool flag() { return byte() & 1; }
    std::uint16_t u16() {
        std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | byte() << 8);
    }
    std::uint32_t u32() {
        std::uint32_t low = u16();
        return low | static_cast<std::uint32_t>(u16()) << 16;
    }
    // A number from 0 to count - 1 (count > 0), from one byte or two.
    std::uint32_t below(std::uint32_t count) {
        if (count <= 256) return byte() % count;
        return u16() % count;
    }

    // Up to `count` raw bytes.
    std::vector<std::uint8_t> bytes(std::size_t count) {
        if (count > remaining()) count = remaining();
        std::vector<std::uint8_t> out(data_ + pos_, data_ + pos_ + count);
        pos_ += count;
        return out;
    }

    // A length-prefixed text. Lengths run up to maxLength; the prefix takes
    // two bytes when maxLength does not fit one. The text may hold any byte,
    // a zero included, unless noZeros.
    std::string text(std::size_t maxLength, bool noZeros = true) {
        std::size_t length = maxLength < 255 ? byte() % (maxLength + 1) : u16() % (maxLength + 1);
        std::vector<std::uint8_t> raw = bytes(length);
        std::string out(raw.begin(), raw.end());
        if (noZeros)
            for (char& c : out)
                if (c == '\0') c = '0';
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A text as a C literal would show it, shortened in the middle when long.
inline std::string shown(const std::string& text, std::size_t limit = 600) {
    std::string out = "\"";
    auto put = [&](unsigned char c) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 32 && c < 127) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    };
    if (text.size() <= limit) {
        for (unsigned char c : text) put(c);
    } else {
        for (std::size_t i = 0; i < limit / 2; ++i) put(static_cast<unsigned char>(text[i]));
        out += "\"...(" + std::to_string(text.size() - limit) + " more)...\"";
        for (std::size_t i = text.size() - limit / 2; i < text.size(); ++i)
            put(static_cast<unsigned char>(text[i]));
    }
    return out + "\" (" + std::to_string(text.size()) + " characters)";
}

// Prints what went wrong and stops the run, so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what, const std::string& expected,
                              const std::string& found, const std::string& context = "") {
    std::fprintf(stderr, "\n==== fuzz check failed: %s\n  expected: %s\n  found:    %s\n", what,
                 expected.c_str(), found.c_str());
    if (!context.empty()) std::fprintf(stderr, "  context:  %s\n", context.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

inline void check(bool ok, const char* what, const std::string& expected, const std::string& found,
                  const std::string& context = "") {
    if (!ok) fail(what, expected, found, context);
}

// Long texts that differ are shown from the line where they part.
inline void checkEqual(const std::string& expected, const std::string& found, const char* what,
                       const std::string& context = "") {
    if (expected == found) return;
    std::size_t at = 0;
    while (at < expected.size() && at < found.size() && expected[at] == found[at]) ++at;
    std::size_t line = expected.rfind('\n', at == 0 ? 0 : at - 1);
    std::size_t from = line == std::string::npos || at == 0 ? 0 : line + 1;
    if (from < 200) {
        fail(what, shown(expected), shown(found), context);
    }
    fail(what, "... " + shown(expected.substr(from)), "... " + shown(found.substr(from)),
         context + " (the texts agree up to character " + std::to_string(from) + ")");
}

inline void checkEqual(std::uint64_t expected, std::uint64_t found, const char* what,
                       const std::string& context = "") {
    if (expected != found) fail(what, std::to_string(expected), std::to_string(found), context);
}

// A C string held in a fixed field: its text, and whether it is terminated
// within the field at all.
inline bool terminated(const char* field, std::size_t size) {
    return std::memchr(field, '\0', size) != nullptr;
}

}  // namespace fuzzing
