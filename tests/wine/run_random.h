// The editing runs' source of choices: a small generator whose sequence is
// fixed by its seed on every build and compiler (the standard library's
// distributions are not), and the texts a user might type into the fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace run_random {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {  // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 to n - 1; 0 when n is 0.
    unsigned below(unsigned n) { return n ? static_cast<unsigned>(next() % n) : 0; }
    unsigned between(unsigned low, unsigned high) { return low + below(high - low + 1); }
    bool percent(unsigned p) { return below(100) < p; }
    template <typename T>
    const T& pick(const std::vector<T>& from) { return from[below(static_cast<unsigned>(from.size()))]; }

private:
    std::uint64_t state_;
};

// Letters, digits, the punctuation the action notation and icon locations
// use, and a few letters of the ANSI code page above 127.
inline char anyCharacter(Random& random) {
    static const std::string plain =
        "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 .,;:-_()[]$%&\"'\\/!?#+=~";
    static const std::string high = "\xE9\xFC\xC4\xF1\xDF";
    if (random.percent(3)) return high[random.below(static_cast<unsigned>(high.size()))];
    return plain[random.below(static_cast<unsigned>(plain.size()))];
}

inline std::string characters(Random& random, unsigned length) {
    std::string text;
    for (unsigned i = 0; i < length; ++i) text += anyCharacter(random);
    return text;
}

// A text for a field of `size` bytes (terminator included): mostly short,
// sometimes filling it, sometimes past it, so that the page must cut it.
inline std::string fieldText(Random& random, unsigned size) {
    const unsigned roll = random.below(100);
    if (roll < 65) return characters(random, random.between(1, 14));
    if (roll < 80) return characters(random, random.between(15, size - 1));
    if (roll < 95) return characters(random, random.between(size - 2, size + 40));
    return characters(random, random.between(0, 3));
}

// An action in the notation the page composes: a program, arguments, a
// working directory and a window state, each there or not; sometimes
// padded past the field.
inline std::string actionText(Random& random) {
    static const std::vector<std::string> programs = {
        "notepad.exe", "\"C:\\Program Files\\Tool\\tool.exe\"", "cmd.exe", "", "x"};
    static const std::vector<std::string> arguments = {" \"%1\"", " \"%0\"", " /c dir", " %1 %0", ""};
    std::string action = random.pick(programs) + random.pick(arguments);
    if (random.percent(30)) action += " $(" + (random.percent(50) ? std::string("%0") : "C:\\work") + ")";
    if (random.percent(30)) action += " $:" + std::to_string(random.below(4));
    if (random.percent(15)) action += characters(random, random.between(1, 12));
    if (random.percent(8)) action += characters(random, random.between(2000, 2100));
    return action;
}

}  // namespace run_random
