// korvane.dll hosted as Explorer hosts it, for the Wine tests that look at
// its menus: a handler object initialised on real shell data objects with
// its menu built into a popup, and pixels of what it draws.
#pragma once

#include <doctest/doctest.h>

#include <functional>
#include <string>
#include <vector>

#include "shell_host.h"

namespace handler_host {

// A handler object for `paths`, its menu built into `popup` at `index`.
struct Handler {
    IContextMenu3* menu = nullptr;
    HRESULT built = E_FAIL;

    Handler(const std::vector<std::string>& paths, HMENU popup, UINT index = 0,
            UINT first = 1, UINT last = 0x7FFF) {
        IShellExtInit* init = nullptr;
        HRESULT created = CoCreateInstance(shell_host::kClsidKorvane, nullptr,
                                           CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                           reinterpret_cast<void**>(&init));
        REQUIRE(created == S_OK);
        IDataObject* data = shell_host::dataObjectFor(paths);
        REQUIRE(data != nullptr);
        CHECK(init->Initialize(nullptr, data, nullptr) == S_OK);
        data->Release();
        REQUIRE(init->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&menu)) == S_OK);
        init->Release();
        built = menu->QueryContextMenu(popup, index, first, last, CMF_NORMAL);
    }
    ~Handler() {
        if (menu) menu->Release();
    }
    Handler(const Handler&) = delete;
    Handler& operator=(const Handler&) = delete;

    // Has the handler draw the icon of the entry whose item data is `data`
    // into a 20 x 20 picture; returns its pixels, row by row.
    std::vector<COLORREF> drawIcon(ULONG_PTR data);
};

// The pixels of a 20 x 20 white picture after `draw` painted into it.
inline std::vector<COLORREF> paintPixels(const std::function<void(HDC)>& draw) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 20, 20);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 20, 20};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    draw(dc);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

inline std::vector<COLORREF> Handler::drawIcon(ULONG_PTR data) {
    return paintPixels([&](HDC dc) {
        DRAWITEMSTRUCT draw = {ODT_MENU, 0, 1, ODA_DRAWENTIRE, ODS_SELECTED,
                               nullptr, dc, {0, 2, 20, 18}, data};
        CHECK(menu->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw), nullptr) ==
              S_OK);
    });
}

// What the handler's icon drawing must look like: icon `index` of `file`
// at the place the handler draws it.
inline std::vector<COLORREF> expectedIcon(const std::string& file, int index) {
    return paintPixels([&](HDC dc) {
        HICON icon = nullptr;
        REQUIRE(ExtractIconExA(file.c_str(), index, nullptr, &icon, 1) == 1);
        DrawIconEx(dc, 1, 2, icon, 16, 16, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
    });
}

}  // namespace handler_host
