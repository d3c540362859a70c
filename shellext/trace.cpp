#include "trace.h"

#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "owned_handle.h"
#include "server_module.h"
#include "talvex_names.h"

namespace shellext {

namespace {

constexpr LONGLONG kTraceLimit = 1024 * 1024;

enum class Switch { Unread, Off, On };
std::atomic<Switch> g_switch{Switch::Unread};

bool readSwitch() {
    DWORD value = 0, size = sizeof value, type = 0;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, TALVEX_USER_KEY, 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS)
        return false;
    OwnedKey key(opened);
    return RegQueryValueExA(key.get(), TALVEX_TRACE_VALUE, nullptr, &type,
                            reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD && value != 0;
}

// The module's file name without its folder: korvane.dll or quillon.dll.
std::string moduleName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(moduleHandle(), path, MAX_PATH);
    const char* name = path;
    for (const char* c = path; *c; ++c)
        if (*c == '\\' || *c == '/') name = c + 1;
    return name;
}

// %LOCALAPPDATA%\Talvex, made if missing; empty when there is none.
std::wstring traceFolder() {
    wchar_t local[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)))
        return std::wstring();
    std::wstring folder = std::wstring(local) + L"\\Talvex";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

bool tracing() noexcept {
    Switch state = g_switch.load(std::memory_order_relaxed);
    if (state == Switch::Unread) {
        state = readSwitch() ? Switch::On : Switch::Off;
        g_switch.store(state, std::memory_order_relaxed);
    }
    return state == Switch::On;
}

std::string traceText(const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string guidText(REFGUID id) {
    wchar_t wide[40] = {};
    StringFromGUID2(id, wide, 40);
    return std::string(wide, wide + lstrlenW(wide));  // hex digits and punctuation only
}

void writeTraceLine(const char* where, const std::string& arguments, HRESULT result) noexcept {
    try {
        const std::wstring folder = traceFolder();
        if (folder.empty()) return;
        const std::wstring file = folder + L"\\trace.log";
        WIN32_FILE_ATTRIBUTE_DATA facts = {};
        if (GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &facts) &&
            (static_cast<LONGLONG>(facts.nFileSizeHigh) << 32 | facts.nFileSizeLow) >= kTraceLimit)
            MoveFileExW(file.c_str(), (folder + L"\\trace.old.log").c_str(), MOVEFILE_REPLACE_EXISTING);

        SYSTEMTIME now = {};
        GetLocalTime(&now);
        const std::string line =
            traceText("%04u-%02u-%02u %02u:%02u:%02u.%03u pid %lu tid %lu %s %s(", now.wYear,
                      now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                      GetCurrentProcessId(), GetCurrentThreadId(), moduleName().c_str(), where) +
            arguments + traceText(") -> 0x%08lX\r\n", static_cast<unsigned long>(result));
        // Appends as one write, so that lines of other processes do not
        // cut into it.
        OwnedKernelObject out(CreateFileW(file.c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (out.get() == INVALID_HANDLE_VALUE) {
            out.release();
            return;
        }
        DWORD written = 0;
        WriteFile(out.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } catch (...) {
        // A trace line is never worth a failure of the call it describes.
    }
}

}  // namespace shellext
