// What the icon picker makes of the user's confirmation: the Open dialog's
// file buffer holds the chosen file, the icon list the chosen position.
#pragma once

#include <cstddef>

namespace editor {

enum class IconChoice {
    Completed,        // the buffer now holds "path,position"
    NoIcon,           // nothing selected: the file has no icons; buffer unchanged
    PositionTooHigh,  // above 999; buffer unchanged
    PathTooLong,      // "path,position" would not fit the buffer or the Icon field
    NotStorable,      // the system's code page cannot spell the file's path
};

// `selection` is the icon list's selected position, negative for none.
IconChoice completeIconChoice(char* file, std::size_t size, int selection) noexcept;

// The selection's own refusal (NoIcon, PositionTooHigh) if it has one, else
// `pathOutcome`: the user hears about the icon before the path, also where
// the path could not be spelled for the store at all.
IconChoice selectionOr(int selection, IconChoice pathOutcome) noexcept;

// The words for the user: the question for NoIcon, the reason for a refusal.
const char* iconChoiceText(IconChoice choice) noexcept;

}  // namespace editor
