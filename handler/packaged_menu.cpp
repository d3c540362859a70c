#include "packaged_menu.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "owned_handle.h"
#include "talvex_names.h"

namespace handler {

namespace {

// How long an answer is kept: a package registered or removed meanwhile
// shows in the classic menu that much later.
constexpr DWORD kAnswerLifetime = 5000;

// appmodel.h's PACKAGE_ID, for the two functions loaded at run time.
struct PackageId {
    UINT32 reserved;
    UINT32 processorArchitecture;
    UINT64 version;
    PWSTR name;
    PWSTR publisher;
    PWSTR resourceId;
    PWSTR publisherId;
};
using FamilyNameFromId = LONG(WINAPI*)(const PackageId*, UINT32*, PWSTR);
using PackagesByFamily = LONG(WINAPI*)(PCWSTR, UINT32*, PWSTR*, UINT32*, WCHAR*);

// Windows' own limits: a package name of 50 characters, a publisher of 8192,
// a family name of 64.
constexpr DWORD kNameSize = 64;
constexpr DWORD kPublisherSize = 8193;
constexpr UINT32 kFamilySize = 65;

bool readText(HKEY key, const wchar_t* value, wchar_t* text, DWORD size) {
    DWORD type = 0, bytes = size * sizeof(wchar_t);
    if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ || bytes < sizeof(wchar_t))
        return false;
    // A stored string need not end in a terminator.
    const DWORD length = bytes / sizeof(wchar_t);
    if (text[length - 1] != L'\0') {
        if (length >= size) return false;
        text[length] = L'\0';
    }
    return text[0] != L'\0';
}

bool askWindows() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto familyNameFromId = reinterpret_cast<FamilyNameFromId>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "PackageFamilyNameFromId")));
    auto packagesByFamily = reinterpret_cast<PackagesByFamily>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetPackagesByPackageFamily")));
    if (!familyNameFromId || !packagesByFamily) return false;

    // The installer writes the 64-bit view; a 32-bit host reads it there too.
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"" TALVEX_MACHINE_KEY, 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS)
        return false;
    shellext::OwnedKey key(opened);
    std::vector<wchar_t> name(kNameSize), publisher(kPublisherSize);
    if (!readText(key.get(), L"" TALVEX_PACKAGE_NAME_VALUE, name.data(), kNameSize) ||
        !readText(key.get(), L"" TALVEX_PACKAGE_PUBLISHER_VALUE, publisher.data(), kPublisherSize))
        return false;

    PackageId id = {};
    id.name = name.data();
    id.publisher = publisher.data();
    wchar_t family[kFamilySize] = {};
    UINT32 familyLength = kFamilySize;
    if (familyNameFromId(&id, &familyLength, family) != ERROR_SUCCESS) return false;
    // With no room for names, the count alone: ERROR_INSUFFICIENT_BUFFER when
    // the user has one or more packages of the family.
    UINT32 count = 0, bufferLength = 0;
    LONG asked = packagesByFamily(family, &count, nullptr, &bufferLength, nullptr);
    return (asked == ERROR_SUCCESS || asked == ERROR_INSUFFICIENT_BUFFER) && count > 0;
}

// The last answer and when it was given: the tick count in the upper 32
// bits, then whether there is an answer, then the answer. One atomic word,
// so that Explorer's threads never read half of it.
std::atomic<std::uint64_t> g_lastAnswer{0};
constexpr std::uint64_t kAnswered = 2, kYes = 1;

}  // namespace

bool accountHasPackagedMenu() {
    const DWORD now = GetTickCount();
    const std::uint64_t last = g_lastAnswer.load(std::memory_order_relaxed);
    if ((last & kAnswered) && now - static_cast<DWORD>(last >> 32) < kAnswerLifetime)
        return (last & kYes) != 0;
    const bool has = askWindows();
    g_lastAnswer.store((static_cast<std::uint64_t>(now) << 32) | kAnswered | (has ? kYes : 0),
                       std::memory_order_relaxed);
    return has;
}

}  // namespace handler
