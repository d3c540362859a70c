#include "menus_files.h"

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "owned_handle.h"

namespace talvex_app {

namespace {

using shellext::OwnedKernelObject;

// Far more than five lists of 1024 entries can take, texts escaped and all.
constexpr LONGLONG kLargestFile = 64LL * 1024 * 1024;

bool writeNew(const std::wstring& path, const std::string& text, DWORD disposition, DWORD& error) {
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    OwnedKernelObject file(opened);
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !FlushFileBuffers(file.get())) {
        error = GetLastError();
        return false;
    }
    return true;
}

}  // namespace

std::wstring systemWords(unsigned long error) {
    wchar_t* words = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    std::wstring text = length && words ? std::wstring(words, length) : std::wstring();
    if (words) LocalFree(words);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return text.empty() ? L"error " + std::to_wstring(error) : text + L" (error " + std::to_wstring(error) + L")";
}

bool readWholeFile(const std::wstring& path, std::string& text, std::wstring& error) {
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        error = systemWords(GetLastError());
        return false;
    }
    OwnedKernelObject file(opened);
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) {
        error = systemWords(GetLastError());
        return false;
    }
    if (size.QuadPart > kLargestFile) {
        error = L"the file is larger than any menus file can be";
        return false;
    }
    text.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() && (!ReadFile(file.get(), &text[0], static_cast<DWORD>(text.size()), &read, nullptr) ||
                          read != text.size())) {
        error = systemWords(GetLastError());
        return false;
    }
    return true;
}

bool writeWholeFile(const std::wstring& path, const std::string& text, std::wstring& error) {
    const std::wstring beside = path + L".writing";
    DWORD code = 0;
    if (!writeNew(beside, text, CREATE_ALWAYS, code)) {
        DeleteFileW(beside.c_str());
        error = systemWords(code);
        return false;
    }
    if (!MoveFileExW(beside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = systemWords(GetLastError());
        DeleteFileW(beside.c_str());
        return false;
    }
    return true;
}

bool askForFile(bool save, void* owner, std::wstring& path) {
    std::vector<wchar_t> name(32768, L'\0');
    if (save) wcscpy(name.data(), L"talvex-menus.json");
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = static_cast<HWND>(owner);
    dialog.lpstrFilter = L"Menus files (*.json)\0*.json\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrDefExt = L"json";
    dialog.lpstrTitle = save ? L"Export menus" : L"Import menus";
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) return false;
    path = name.data();
    return true;
}

std::wstring writeBackup(const std::string& text, std::wstring& error) {
    wchar_t local[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, local))) {
        error = L"the local application data folder was not found";
        return std::wstring();
    }
    const std::wstring folder = std::wstring(local) + L"\\Talvex";
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        error = systemWords(GetLastError());
        return std::wstring();
    }
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u-%02u-%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    // Two imports in one second each keep their own backup.
    for (int n = 1; n < 100; ++n) {
        std::wstring path = folder + L"\\menus-before-import-" + stamp +
                            (n > 1 ? L"-" + std::to_wstring(n) : std::wstring()) + L".json";
        DWORD code = 0;
        if (writeNew(path, text, CREATE_NEW, code)) return path;
        if (code != ERROR_FILE_EXISTS) {
            DeleteFileW(path.c_str());
            error = systemWords(code);
            return std::wstring();
        }
    }
    error = L"too many backups were written this second";
    return std::wstring();
}

}  // namespace talvex_app
