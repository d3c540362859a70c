#include "toolbar_images.h"

#include <commctrl.h>

#include <cstring>

#include "activation_context.h"
#include "owned_handle.h"
#include "pixel_blend.h"
#include "resource_ids.h"

namespace editor {

namespace {

HIMAGELIST g_images = nullptr;

// A 16x16 top-down-agnostic 32-bit header: the source and the work buffer
// share it, so pixel i of one is pixel i of the other whatever the row order.
BITMAPINFO imageHeader() {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = 16;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace

void createToolbarImages(HINSTANCE module) {
    ActivationScope scope;
    g_images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 8, 0);
    if (!g_images) return;
    shellext::OwnedBitmap strip(LoadBitmapA(module, MAKEINTRESOURCEA(IDB_TOOLBAR_STRIP)));
    if (strip) ImageList_AddMasked(g_images, strip.get(), RGB(0, 0, 0));
}

void destroyToolbarImages() {
    if (!g_images) return;
    ActivationScope scope;
    ImageList_Destroy(g_images);
    g_images = nullptr;
}

void drawToolbarImage(int index, HDC dc, int x, int y, bool greyed) {
    if (!g_images) return;
    shellext::OwnedIcon icon;
    {
        ActivationScope scope;
        icon.reset(ImageList_GetIcon(g_images, index, ILD_NORMAL));
    }
    if (!icon) return;
    ICONINFO parts = {};
    if (!GetIconInfo(icon.get(), &parts)) return;
    shellext::OwnedBitmap colour(parts.hbmColor);
    shellext::OwnedBitmap mask(parts.hbmMask);
    if (!colour) return;

    shellext::OwnedScreenDc screen(GetDC(nullptr));
    BITMAPINFO info = imageHeader();
    std::uint8_t source[kImageBytes] = {};
    if (GetDIBits(screen.get(), colour.get(), 0, 16, source, &info, DIB_RGB_COLORS) == 0) return;

    shellext::OwnedMemoryDc memory(CreateCompatibleDC(dc));
    void* bits = nullptr;
    BITMAPINFO workInfo = imageHeader();
    shellext::OwnedBitmap work(CreateDIBSection(dc, &workInfo, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !work || !bits) return;
    shellext::Selection selected(memory.get(), work.get());
    BitBlt(memory.get(), 0, 0, 16, 16, dc, x, y, SRCCOPY);
    GdiFlush();
    blendImage(source, *static_cast<std::uint8_t(*)[kImageBytes]>(bits), greyed);
    BitBlt(dc, x, y, 16, 16, memory.get(), 0, 0, SRCCOPY);
}

}  // namespace editor
