// korvane.dll hosted as Explorer hosts it, for the Wine tests that look at
// its menus: a handler object initialised on real shell data objects (or a
// folder's background) with its menu built into a popup, pixels of what it
// draws (the system's shield among them), and the record of what its
// commands started.
#pragma once

#include <doctest/doctest.h>

#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "import_patch.h"
#include "shell_host.h"
#include "test_paths.h"

namespace handler_host {

// A handler object for `paths`, its menu built into `popup` at `index`.
struct Handler {
    IContextMenu3* menu = nullptr;
    HRESULT built = E_FAIL;

    Handler(const std::vector<std::string>& paths, HMENU popup, UINT index = 0,
            UINT first = 1, UINT last = 0x7FFF) {
        IDataObject* data = shell_host::dataObjectFor(paths);
        REQUIRE(data != nullptr);
        create(nullptr, data, popup, index, first, last);
        data->Release();
    }
    // The menu of the background of `folder`'s window.
    Handler(HMENU popup, const std::string& folder) {
        LPITEMIDLIST list = shell_host::idListFor(folder);
        REQUIRE(list != nullptr);
        create(list, nullptr, popup, 0, 1, 0x7FFF);
        CoTaskMemFree(list);
    }
    ~Handler() {
        if (menu) menu->Release();
    }
    Handler(const Handler&) = delete;
    Handler& operator=(const Handler&) = delete;

    void create(LPCITEMIDLIST folder, IDataObject* data, HMENU popup, UINT index, UINT first,
                UINT last) {
        IShellExtInit* init = nullptr;
        HRESULT created = CoCreateInstance(shell_host::kClsidKorvane, nullptr,
                                           CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                           reinterpret_cast<void**>(&init));
        REQUIRE(created == S_OK);
        CHECK(init->Initialize(folder, data, nullptr) == S_OK);
        REQUIRE(init->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&menu)) == S_OK);
        init->Release();
        built = menu->QueryContextMenu(popup, index, first, last, CMF_NORMAL);
    }

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

// The system's shield as SHGetStockIconInfo gives it to this process, found
// at run time as korvane finds it; false where the system gives none.
inline bool stockShield(UINT flags, SHSTOCKICONINFO& info) {
    using Query = HRESULT(WINAPI*)(SHSTOCKICONID, UINT, SHSTOCKICONINFO*);
    HMODULE shell = GetModuleHandleA("shell32.dll");
    auto query = shell ? reinterpret_cast<Query>(reinterpret_cast<void*>(GetProcAddress(shell, "SHGetStockIconInfo")))
                       : nullptr;
    info = SHSTOCKICONINFO{};
    info.cbSize = sizeof info;
    return query && SUCCEEDED(query(SIID_SHIELD, flags, &info));
}

// What the handler's drawing of the shield must look like: blank where the
// system gives no shield icon.
inline std::vector<COLORREF> expectedShield() {
    return paintPixels([](HDC dc) {
        SHSTOCKICONINFO info;
        if (!stockShield(SHGSI_ICON | SHGSI_SMALLICON, info) || !info.hIcon) return;
        DrawIconEx(dc, 1, 2, info.hIcon, 16, 16, 0, nullptr, DI_NORMAL);
        DestroyIcon(info.hIcon);
    });
}

// The shield's icon location "file,index" (UTF-8); empty where the system
// names none.
inline std::string shieldLocation() {
    SHSTOCKICONINFO info;
    if (!stockShield(SHGSI_ICONLOCATION, info) || !info.szPath[0]) return "";
    return shell_host::utf8(info.szPath) + "," + std::to_string(info.iIcon);
}

// korvane.dll's run-time look-up of SHGetStockIconInfo, answered by the test
// while this lives: with nothing, as before Windows Vista, or with a
// stand-in that hands out icon `index` of `library` (and that location) and
// notes each question as "<stock id> <flags hex>". Other look-ups go through.
struct StockIcons {
    static inline bool present = false;
    static inline std::string library;
    static inline int index = 0;
    static inline std::vector<std::string> asked;

    static HRESULT WINAPI query(SHSTOCKICONID id, UINT flags, SHSTOCKICONINFO* info) {
        char question[32];
        std::snprintf(question, sizeof question, "%d %x", static_cast<int>(id), flags);
        asked.push_back(question);
        if (!info || info->cbSize != sizeof *info) return E_INVALIDARG;
        info->iIcon = index;
        MultiByteToWideChar(CP_ACP, 0, library.c_str(), -1, info->szPath, MAX_PATH);
        if ((flags & SHGSI_ICON) && ExtractIconExA(library.c_str(), index, nullptr, &info->hIcon, 1) != 1)
            return E_FAIL;
        return S_OK;
    }
    static FARPROC WINAPI lookUp(HMODULE module, LPCSTR function) {
        if (!IS_INTRESOURCE(function) && std::string(function) == "SHGetStockIconInfo")
            return present ? reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&query)) : nullptr;
        return GetProcAddress(module, function);
    }

    import_patch::ImportPatch patch;
    // None at all.
    explicit StockIcons(HMODULE korvane) : StockIcons(korvane, false, "", 0) {}
    StockIcons(HMODULE korvane, const std::string& file, int at) : StockIcons(korvane, true, file, at) {}

private:
    StockIcons(HMODULE korvane, bool given, const std::string& file, int at)
        : patch(korvane, "kernel32.dll", "GetProcAddress", reinterpret_cast<ULONG_PTR>(&lookUp)) {
        present = given;
        library = file;
        index = at;
        asked.clear();
    }
};

inline HRESULT invoke(IContextMenu* menu, LPCSTR verb) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = verb;
    info.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&info);
}

// The recorder program (record_invocation.exe, in the test's PATHS) and the
// file it writes: its wide command line, working directory and show state,
// in UTF-8. Each start gets a file of its own (next() before it), so that a
// record read is always the one of the start just made, never one that a
// slow earlier start writes late.
struct Recorder {
    std::string program = test_paths::path("RECORD_INVOCATION");
    std::string record;
    explicit Recorder(const std::string& file) : base_(file) { next(); }
    ~Recorder() { DeleteFileA(record.c_str()); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // A new record file for the next start; the programs started from now
    // on write there.
    void next() {
        DeleteFileA(record.c_str());
        record = base_ + "." + std::to_string(++starts_);
        DeleteFileA(record.c_str());
        SetEnvironmentVariableA("KORVANE_RECORD", record.c_str());
    }

private:
    std::string base_;
    int starts_ = 0;
};

// Waits until the record is whole (its last line is "--"), reading it again
// while it is not: a loaded machine may take seconds to start the recorder,
// and a file may be seen before its text. What was read last is returned.
inline std::string waitForRecord(const std::string& path) {
    std::string text;
    for (int i = 0; i < 600; ++i) {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            std::ifstream in(path, std::ios::binary);
            std::stringstream read;
            read << in.rdbuf();
            text = read.str();
            if (text.size() >= 3 && text.compare(text.size() - 3, 3, "--\n") == 0) return text;
        }
        Sleep(50);
    }
    return text;
}

// The records of `count` programs started for one command, each whole, in
// the order of their files (not always the order of their starts); fewer
// when fewer came within the wait.
inline std::vector<std::string> waitForRecords(const std::string& path, std::size_t count) {
    std::vector<std::string> records;
    for (std::size_t n = 1; n <= count; ++n) {
        const std::string file = n == 1 ? path : path + "." + std::to_string(n);
        std::string text = waitForRecord(file);
        if (text.empty()) break;
        records.push_back(text);
    }
    return records;
}

// korvane.dll's ShellExecuteExW and MessageBoxW, recorded: each start's verb,
// program and parameters (UTF-8), the questions asked, with the answers and
// results the test chooses. Nothing is started.
struct Starts {
    static inline std::vector<std::string> verbs, lines, boxes;
    static inline BOOL result = TRUE;
    static inline int answer = IDNO;
    static BOOL WINAPI execute(SHELLEXECUTEINFOW* info) {
        verbs.push_back(shell_host::utf8(info->lpVerb));
        lines.push_back("\"" + shell_host::utf8(info->lpFile) + "\"" +
                        (info->lpParameters ? shell_host::utf8(info->lpParameters) : ""));
        return result;
    }
    static int WINAPI box(HWND, LPCWSTR text, LPCWSTR, UINT) {
        boxes.push_back(shell_host::utf8(text));
        return answer;
    }
    static void clear(BOOL starts = TRUE, int answerGiven = IDNO) {
        verbs.clear(), lines.clear(), boxes.clear();
        result = starts;
        answer = answerGiven;
    }
};

}  // namespace handler_host
