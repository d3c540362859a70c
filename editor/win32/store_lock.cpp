#include "store_lock.h"

#include <sddl.h>

#include <cwchar>
#include <string>
#include <vector>

#include "talvex_names.h"

namespace editor {

namespace {

using shellext::OwnedKernelObject;
using shellext::OwnedLocalMemory;

// What a save needs of the lock: to wait on it and to release it.
constexpr DWORD kLockUse = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// The SID of the user this process runs as, as text; empty if unknown.
std::wstring currentUserSid() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return std::wstring();
    OwnedKernelObject token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return std::wstring();
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return std::wstring();
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return std::wstring();
    OwnedLocalMemory owned(text);
    return text;
}

}  // namespace

// Every process of this user may use the object, whatever its integrity: the
// default security of an elevated process (Administrators and SYSTEM only,
// labelled High with no write-up) would shut the user's ordinary editors out,
// and their saves would wait and be refused as busy. The label is Low, so
// that no integrity level is below it. A system without labels gets the
// access list alone.
OwnedLocalMemory everyEditorSecurity(unsigned long allAccess) {
    const std::wstring user = currentUserSid();
    if (user.empty()) return OwnedLocalMemory();
    wchar_t mask[16];
    swprintf(mask, 16, L"0x%lX", allAccess);
    const std::wstring access = L"D:(A;;" + std::wstring(mask) + L";;;" + user + L")(A;;" + mask + L";;;SY)";
    for (const std::wstring& text : {access + L"S:(ML;;NW;;;LW)", access}) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1,
                                                                 &descriptor, nullptr))
            return OwnedLocalMemory(descriptor);
    }
    return OwnedLocalMemory();
}

namespace {

HANDLE createOrOpenLock() {
    OwnedLocalMemory descriptor;
    try {
        descriptor = everyEditorSecurity(MUTEX_ALL_ACCESS);
    } catch (...) {
        // Out of memory: the lock is made with the default security.
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
    HANDLE mutex = CreateMutexA(descriptor ? &attributes : nullptr, FALSE, TALVEX_STORE_LOCK);
    // Another process made the lock with security that grants this one less
    // than all access (one whose label is higher, say): use what it grants.
    if (!mutex && GetLastError() == ERROR_ACCESS_DENIED)
        mutex = OpenMutexA(kLockUse, FALSE, TALVEX_STORE_LOCK);
    return mutex;
}

}  // namespace

bool StoreLock::acquire() noexcept {
    if (!mutex_) mutex_.reset(createOrOpenLock());
    if (!mutex_) return false;
    // An abandoned lock is held all the same: its owner ended part way
    // through a save, and the plan of this one takes the store as it finds it.
    DWORD waited = WaitForSingleObject(mutex_.get(), kStoreLockWait);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void StoreLock::release() noexcept { ReleaseMutex(mutex_.get()); }

}  // namespace editor
