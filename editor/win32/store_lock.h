// The lock that keeps the saves of every editor one at a time: those of the
// pages of Explorer's threads, and of the 32-bit and 64-bit editors side by
// side in one session.
#pragma once

#include <windows.h>

#include "owned_handle.h"
#include "store_save.h"

namespace editor {

// Security for a named object of the editors that grants `allAccess` to
// every process of this user, elevated or not, and to the system; empty
// where it cannot be made.
shellext::OwnedLocalMemory everyEditorSecurity(unsigned long allAccess);

// How long a save waits for another before it is refused.
constexpr DWORD kStoreLockWait = 5000;

// A mutex named after the store it guards, in the session's namespace:
// every process of the user's session that writes the store shares it,
// elevated or not.
class StoreLock final : public SaveLock {
public:
    bool acquire() noexcept override;
    void release() noexcept override;

private:
    shellext::OwnedKernelObject mutex_;
};

}  // namespace editor
