#include "name_filter.h"

namespace handler {

namespace {

bool isBlank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Units of the character at `at`: a surrogate pair is one character.
std::size_t characterUnits(const std::u16string& text, std::size_t at) {
    return isHighSurrogate(text[at]) && at + 1 < text.size() && isLowSurrogate(text[at + 1]) ? 2
                                                                                             : 1;
}

bool in(char16_t unit, char16_t first, char16_t last) { return unit >= first && unit <= last; }

// Pairs whose capital is the even unit, and pairs whose capital is the odd one.
char16_t evenCapital(char16_t unit) { return static_cast<char16_t>(unit | 1); }
char16_t oddCapital(char16_t unit) { return static_cast<char16_t>(unit & 1 ? unit + 1 : unit); }

}  // namespace

char16_t foldCase(char16_t unit) {
    if (unit < 0x80) return in(unit, u'A', u'Z') ? static_cast<char16_t>(unit + 0x20) : unit;
    if (unit < 0x100)  // Latin-1; the multiplication sign is no letter
        return in(unit, 0xC0, 0xDE) && unit != 0xD7 ? static_cast<char16_t>(unit + 0x20) : unit;
    if (unit < 0x180) {  // Latin Extended-A
        if (unit == 0x178) return 0xFF;  // Y with diaeresis, whose small letter is Latin-1's
        if (in(unit, 0x100, 0x12F) || in(unit, 0x132, 0x137) || in(unit, 0x14A, 0x177))
            return evenCapital(unit);
        if (in(unit, 0x139, 0x148) || in(unit, 0x179, 0x17E)) return oddCapital(unit);
        return unit;  // dotted and dotless i, kra, long s, n preceded by apostrophe
    }
    if (unit < 0x250) {  // Latin Extended-B: the regular pairs
        if (in(unit, 0x1CD, 0x1DC)) return oddCapital(unit);
        if (in(unit, 0x1DE, 0x1EF) || in(unit, 0x1F4, 0x1F5) || in(unit, 0x1F8, 0x21F) ||
            in(unit, 0x222, 0x233))
            return evenCapital(unit);
        return unit;
    }
    if (unit < 0x370) return unit;
    if (unit < 0x400) {  // Greek
        if (unit == 0x386) return 0x3AC;
        if (in(unit, 0x388, 0x38A)) return static_cast<char16_t>(unit + 0x25);
        if (unit == 0x38C) return 0x3CC;
        if (in(unit, 0x38E, 0x38F)) return static_cast<char16_t>(unit + 0x3F);
        if (in(unit, 0x391, 0x3A1) || in(unit, 0x3A3, 0x3AB)) return static_cast<char16_t>(unit + 0x20);
        if (unit == 0x3C2) return 0x3C3;  // final sigma
        return unit;
    }
    if (unit < 0x530) {  // Cyrillic and its supplement
        if (in(unit, 0x400, 0x40F)) return static_cast<char16_t>(unit + 0x50);
        if (in(unit, 0x410, 0x42F)) return static_cast<char16_t>(unit + 0x20);
        if (unit == 0x4C0) return 0x4CF;
        if (in(unit, 0x4C1, 0x4CE)) return oddCapital(unit);
        if (in(unit, 0x460, 0x481) || in(unit, 0x48A, 0x4BF) || in(unit, 0x4D0, 0x52F))
            return evenCapital(unit);
        return unit;
    }
    if (in(unit, 0x1E00, 0x1EFF)) {  // Latin Extended Additional
        if (unit == 0x1E9E) return 0xDF;  // capital sharp s
        if (in(unit, 0x1E00, 0x1E95) || in(unit, 0x1EA0, 0x1EFF)) return evenCapital(unit);
        return unit;
    }
    if (in(unit, 0xFF21, 0xFF3A)) return static_cast<char16_t>(unit + 0x20);  // full-width Latin
    return unit;
}

std::u16string nameOf(const std::u16string& path) {
    std::size_t end = path.size();
    while (end > 0 && path[end - 1] == u'\\') --end;
    bool letter = end == 2 && (in(path[0], u'A', u'Z') || in(path[0], u'a', u'z'));
    if (letter && path[1] == u':') return path.substr(0, 2) + u'\\';
    std::size_t slash = end == 0 ? std::u16string::npos : path.rfind(u'\\', end - 1);
    std::size_t start = slash == std::u16string::npos ? 0 : slash + 1;
    return path.substr(start, end - start);
}

NameFilter::NameFilter(const std::u16string& patterns) {
    text_.reserve(patterns.size());
    std::size_t from = 0;
    while (from <= patterns.size()) {
        std::size_t end = patterns.find(u';', from);
        if (end == std::u16string::npos) end = patterns.size();
        std::size_t start = from, stop = end;
        while (start < stop && isBlank(patterns[start])) ++start;
        while (stop > start && isBlank(patterns[stop - 1])) --stop;
        bool excludes = start < stop && patterns[start] == u'!';
        if (excludes) {
            ++start;
            while (start < stop && isBlank(patterns[start])) ++start;
        }
        if (start < stop) {
            patterns_.push_back({text_.size(), stop - start, excludes});
            for (std::size_t i = start; i < stop; ++i) text_ += foldCase(patterns[i]);
            hasIncluding_ = hasIncluding_ || !excludes;
        }
        from = end + 1;
    }
}

// The usual greedy match with one remembered "*": on a mismatch the last
// star takes one more character and matching resumes after it. Each name
// unit is compared at most once per pattern unit, so no input makes it
// exponential.
bool NameFilter::matches(const Pattern& pattern, const std::u16string& name) const {
    const char16_t* const p = text_.data() + pattern.start;
    const std::size_t length = pattern.length;
    constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::size_t at = 0, pos = 0;          // in the pattern, in the name
    std::size_t star = none, resume = 0;  // after the last star; where the name resumes
    while (pos < name.size()) {
        if (at < length && p[at] == u'*') {
            star = ++at;
            resume = pos;
        } else if (at < length && p[at] == u'?') {
            ++at;
            pos += characterUnits(name, pos);
        } else if (at < length && p[at] == foldCase(name[pos])) {
            ++at;
            ++pos;
        } else if (star != none) {
            resume += characterUnits(name, resume);
            at = star;
            pos = resume;
        } else {
            return false;
        }
    }
    while (at < length && p[at] == u'*') ++at;
    return at == length;
}

bool NameFilter::shows(const std::vector<std::u16string>& names) const {
    if (patterns_.empty()) return true;
    for (const std::u16string& name : names) {
        bool included = !hasIncluding_;
        for (const Pattern& pattern : patterns_) {
            if (pattern.excludes) {
                if (matches(pattern, name)) return false;
            } else if (!included && matches(pattern, name)) {
                included = true;
            }
        }
        if (!included) return false;
    }
    return true;
}

SelectionFilter::SelectionFilter(const std::vector<std::u16string>& paths, Widen widen)
    : widen_(widen) {
    names_.reserve(paths.size());
    for (const std::u16string& path : paths) names_.push_back(nameOf(path));
}

bool SelectionFilter::shows(const char* showFor) {
    if (!showFor || showFor[0] == '\0') return true;
    if (lastText_ != showFor) {
        lastText_ = showFor;
        lastShows_ = NameFilter(widen_ ? widen_(showFor) : std::u16string()).shows(names_);
    }
    return lastShows_;
}

bool DeferredSelectionFilter::shows(const char* showFor) {
    if (!showFor || showFor[0] == '\0') return true;
    if (!filter_) filter_.reset(new SelectionFilter(paths_(context_), widen_));
    return filter_->shows(showFor);
}

}  // namespace handler
