// Which objects an item is shown for: a list of name patterns such as
// "*.txt; *.log; !~*", matched against the names of the selected objects.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "menu_walk.h"

namespace handler {

// The name a pattern is matched against: the path's last component, trailing
// backslashes ignored ("C:\\Docs\\" gives "Docs"). A drive's root names
// itself with its backslash ("C:\\" and "C:" give "C:\\"), so "?:\\" stands
// for any root; a share's root gives the share's name. A path without a
// backslash is its own name.
std::u16string nameOf(const std::u16string& path);

// One letter in the form case-insensitive matching compares, unit by unit:
// the lower-case letter of ASCII, Latin-1, Latin Extended-A, the common
// Latin Extended-B pairs (pinyin tones, Romanian), Latin Extended Additional
// (Vietnamese), modern Greek (accented letters included; final sigma is
// sigma), Cyrillic with its extensions, and full-width Latin. Everything
// else, and every unit of a surrogate pair, is left as it is; so are the
// letters whose case pairs depend on the language (dotted and dotless i).
char16_t foldCase(char16_t unit);

// A parsed pattern list. Patterns are separated by ";", blanks (spaces and
// tabs) around each are trimmed, and empty ones are ignored. "*" stands for
// any run of characters, "?" for exactly one character (a surrogate pair is
// one); everything else matches itself, case ignored (foldCase). A pattern
// starting with "!" excludes what it matches ("!" alone is ignored).
class NameFilter {
public:
    explicit NameFilter(const std::u16string& patterns);

    // No pattern at all: every selection is shown.
    bool empty() const { return patterns_.empty(); }

    // Shown when every name matches at least one including pattern (or there
    // is none) and no name matches an excluding one. Allocates nothing.
    bool shows(const std::vector<std::u16string>& names) const;

private:
    struct Pattern {
        std::size_t start;   // in text_
        std::size_t length;
        bool excludes;
    };
    bool matches(const Pattern& pattern, const std::u16string& name) const;

    std::u16string text_;  // every pattern, folded, back to back
    std::vector<Pattern> patterns_;
    bool hasIncluding_ = false;
};

// The menu walk's filter for one selection: an item is shown as its
// "ShowFor" text says for the selected objects' names. The text comes from
// the store in the code page; `widen` turns it into UTF-16.
class SelectionFilter final : public ItemFilter {
public:
    using Widen = std::u16string (*)(const char* codePageText);
    SelectionFilter(const std::vector<std::u16string>& paths, Widen widen);

    bool shows(const char* showFor) override;

private:
    std::vector<std::u16string> names_;
    Widen widen_;
    // Neighbouring items often carry the same text: its answer is kept.
    std::string lastText_;
    bool lastShows_ = true;
};

// A SelectionFilter made at the first item that has a "ShowFor" text, so
// that the selection past its first object is read only for a menu that
// filters: `paths` is asked for it then, once.
class DeferredSelectionFilter final : public ItemFilter {
public:
    using Paths = std::vector<std::u16string> (*)(void* context);
    DeferredSelectionFilter(Paths paths, void* context, SelectionFilter::Widen widen)
        : paths_(paths), context_(context), widen_(widen) {}

    bool shows(const char* showFor) override;

private:
    Paths paths_;
    void* context_;
    SelectionFilter::Widen widen_;
    std::unique_ptr<SelectionFilter> filter_;
};

}  // namespace handler
