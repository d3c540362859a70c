// Files and folders named outside the system code page, made with the UTF-16
// functions, and the checks on a path the page stored for them: the store
// holds code-page text, which must name the same file and never hold a '?'
// or look-alike. Most tests run with LANG=C.UTF-8, i.e. code page 1252.
#pragma once

#include <windows.h>

#include <doctest/doctest.h>

#include <string>

#include "shell_host.h"

namespace foreign_names {

using shell_host::utf8;

inline void createFolder(const std::wstring& path) {
    REQUIRE_MESSAGE((CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS),
                    "cannot create " << utf8(path.c_str()) << " (error " << GetLastError() << ")");
}

inline void createFile(const std::wstring& path, const std::string& bytes = "") {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE_MESSAGE(file != INVALID_HANDLE_VALUE, "cannot create " << utf8(path.c_str()) << " (error " << GetLastError() << ")");
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// The long form, in UTF-8, of a path the page stored (code-page text);
// what is wrong with it instead when it holds a '?' or names nothing.
inline std::string longPathOf(const std::string& stored) {
    if (stored.find('?') != std::string::npos) return "<a '?' in " + stored + ">";
    wchar_t wide[MAX_PATH] = {}, full[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, stored.c_str(), -1, wide, MAX_PATH);
    if (!GetLongPathNameW(wide, full, MAX_PATH)) return "<no file " + stored + ">";
    return utf8(full);
}

// Names outside ASCII need a code page and a Unix locale that know them.
inline void requireCodePage1252() {
    REQUIRE_MESSAGE(GetACP() == 1252, "the tests expect code page 1252 (LANG=C.UTF-8), not " << GetACP());
}

}  // namespace foreign_names
