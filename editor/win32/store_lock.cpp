#include "store_lock.h"

namespace editor {

namespace {
const wchar_t kStoreLockName[] = L"Local\\Talvex.Korvane.Store";
}

bool StoreLock::acquire() noexcept {
    if (!mutex_) mutex_.reset(CreateMutexW(nullptr, FALSE, kStoreLockName));
    if (!mutex_) return false;
    // An abandoned lock is held all the same: its owner ended part way
    // through a save, and the plan of this one takes the store as it finds it.
    DWORD waited = WaitForSingleObject(mutex_.get(), kStoreLockWait);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void StoreLock::release() noexcept { ReleaseMutex(mutex_.get()); }

}  // namespace editor
