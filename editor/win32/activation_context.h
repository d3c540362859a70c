// The activation context of the module's own manifest (resource 2), so that
// the common controls and common dialogs the editor creates are version 6.
#pragma once

#include <windows.h>

namespace editor {

// Made at module start-up from the module's manifest; released at the end.
void createModuleActivationContext(HINSTANCE module);
void releaseModuleActivationContext();

// Activates the module's context for the length of one call into the
// common controls; where there is no context, the call runs in the default
// one.
class ActivationScope {
public:
    ActivationScope();
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;
    ~ActivationScope();

private:
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

}  // namespace editor
