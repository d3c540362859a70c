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
};

// `selection` is the icon list's selected position, negative for none.
IconChoice completeIconChoice(char* file, std::size_t size, int selection) noexcept;

// The words for the user: the question for NoIcon, the reason for a refusal.
const char* iconChoiceText(IconChoice choice) noexcept;

}  // namespace editor
