#include "icon_choice.h"

#include <cstring>

#include "icon_location.h"
#include "store_layout.h"

namespace editor {

namespace {

constexpr int kHighestPosition = 999;  // the Icon value keeps at most three digits

}  // namespace

IconChoice selectionOr(int selection, IconChoice pathOutcome) noexcept {
    if (selection < 0) return IconChoice::NoIcon;
    if (selection > kHighestPosition) return IconChoice::PositionTooHigh;
    return pathOutcome;
}

IconChoice completeIconChoice(char* file, std::size_t size, int selection) noexcept {
    if (!file || size == 0) return IconChoice::PathTooLong;
    IconChoice refusal = selectionOr(selection, IconChoice::Completed);
    if (refusal != IconChoice::Completed) return refusal;
    char location[store::kIconSize];
    file[size - 1] = '\0';
    if (!store::formatIconLocation(file, selection, location, sizeof location) ||
        std::strlen(location) >= size)
        return IconChoice::PathTooLong;
    std::memcpy(file, location, std::strlen(location) + 1);
    return IconChoice::Completed;
}

const char* iconChoiceText(IconChoice choice) noexcept {
    switch (choice) {
        case IconChoice::NoIcon:
            return "There is no icon in the selected file. Continue selecting?";
        case IconChoice::PositionTooHigh:
            return "This icon cannot be used: a menu item can use only the first 1000 icons "
                   "of a file. Choose one of them, or another file.";
        case IconChoice::PathTooLong:
            return "This icon cannot be used: the file's path is too long to be stored with "
                   "the icon's number (at most 259 characters in all). Choose a file with a "
                   "shorter path.";
        case IconChoice::NotStorable:
            return "This icon cannot be used: the file's path has characters that this "
                   "system's code page lacks, so it cannot be stored. Choose another file, "
                   "or rename it.";
        case IconChoice::Completed:
            break;
    }
    return "";
}

}  // namespace editor
