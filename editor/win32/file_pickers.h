// The dialogs in which the page's user picks a program, a file, a folder or
// an icon, each owned by the page.
#pragma once

#include <windows.h>

#include "page_controller.h"

namespace editor {

class WindowPickers final : public Pickers {
public:
    explicit WindowPickers(HWND owner) : owner_(owner) {}
    PickOutcome pick(Pick what, char* path, std::size_t size) override;

private:
    HWND owner_;
};

}  // namespace editor
