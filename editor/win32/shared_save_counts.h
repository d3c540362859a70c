// The editors' counts of saves per kind, shared by every editor process of
// the user's session: a page in Explorer then hears of a save that another
// process made (talvex.exe's import, a Properties dialog of another program)
// and offers to reload.
#pragma once

namespace editor {

// Points this module's save counts at the shared memory, once; where the
// memory cannot be had the module keeps counts of its own, as before.
void shareSaveCountsAcrossProcesses() noexcept;

}  // namespace editor
