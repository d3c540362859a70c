#include "storable_path.h"

#include <climits>
#include <cwchar>
#include <memory>
#include <new>

namespace editor {

namespace {

enum class Exactness { Exact, TooLong, Inexact };

// UTF-8 as the system code page (an option of Windows 10 and later) takes
// neither the no-best-fit flag nor the default-character report; it spells
// every well-formed path, and the round trip catches the rest.
bool systemCodePageIsUtf8() { return GetACP() == CP_UTF8; }

// Converting back must give the path again, so that no mapping the
// conversion did not report (a best-fit look-alike) can slip through.
bool convertsBack(const char* spelled, int bytes, const wchar_t* path) {
    // Each byte becomes at most one UTF-16 unit: `bytes` units suffice for
    // the exact path, and a longer result fails, as it should.
    std::unique_ptr<wchar_t[]> back(new (std::nothrow) wchar_t[bytes]);
    if (!back) return false;
    int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, spelled, -1, back.get(), bytes);
    return units > 0 && std::wcscmp(back.get(), path) == 0;
}

Exactness spellExactly(const wchar_t* path, char* out, std::size_t size) {
    const bool utf8 = systemCodePageIsUtf8();
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* report = utf8 ? nullptr : &usedDefault;
    const int bytes = WideCharToMultiByte(CP_ACP, flags, path, -1, nullptr, 0, nullptr, report);
    if (bytes <= 0 || usedDefault) return Exactness::Inexact;
    if (static_cast<std::size_t>(bytes) > size) return Exactness::TooLong;
    const int room = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    if (WideCharToMultiByte(CP_ACP, flags, path, -1, out, room, nullptr, report) != bytes ||
        usedDefault || !convertsBack(out, bytes, path)) {
        out[0] = '\0';
        return Exactness::Inexact;
    }
    return Exactness::Exact;
}

StoreSpelling spellingOf(Exactness exactness) {
    switch (exactness) {
        case Exactness::Exact: return StoreSpelling::Spelled;
        case Exactness::TooLong: return StoreSpelling::DoesNotFit;
        case Exactness::Inexact: break;
    }
    return StoreSpelling::NotStorable;
}

// The short form of the path, the 8.3 name of each part that has one. A
// volume without short names gives the long path back, which the code page
// then fails to spell again.
StoreSpelling spellShortForm(const wchar_t* path, char* out, std::size_t size) {
    const DWORD needed = GetShortPathNameW(path, nullptr, 0);
    if (needed == 0) return StoreSpelling::NotStorable;
    std::unique_ptr<wchar_t[]> shortForm(new (std::nothrow) wchar_t[needed]);
    if (!shortForm) return StoreSpelling::DoesNotFit;
    const DWORD length = GetShortPathNameW(path, shortForm.get(), needed);
    if (length == 0 || length >= needed) return StoreSpelling::NotStorable;
    return spellingOf(spellExactly(shortForm.get(), out, size));
}

}  // namespace

StoreSpelling spellForStore(const wchar_t* path, char* out, std::size_t size) noexcept {
    if (!out || size == 0) return StoreSpelling::DoesNotFit;
    out[0] = '\0';
    if (!path) return StoreSpelling::NotStorable;
    const Exactness exactness = spellExactly(path, out, size);
    if (exactness != Exactness::Inexact) return spellingOf(exactness);
    return spellShortForm(path, out, size);
}

}  // namespace editor
