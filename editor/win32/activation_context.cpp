#include "activation_context.h"

#include "resource_ids.h"

namespace editor {

namespace {
HANDLE g_context = INVALID_HANDLE_VALUE;
}  // namespace

void createModuleActivationContext(HINSTANCE module) {
    ACTCTXA description = {};
    description.cbSize = sizeof description;
    description.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    description.hModule = module;
    description.lpResourceName = MAKEINTRESOURCEA(IDR_MANIFEST);
    g_context = CreateActCtxA(&description);
}

void releaseModuleActivationContext() {
    if (g_context != INVALID_HANDLE_VALUE) ReleaseActCtx(g_context);
    g_context = INVALID_HANDLE_VALUE;
}

ActivationScope::ActivationScope() {
    if (g_context != INVALID_HANDLE_VALUE) active_ = ActivateActCtx(g_context, &cookie_) != FALSE;
}

ActivationScope::~ActivationScope() {
    if (active_) DeactivateActCtx(0, cookie_);
}

}  // namespace editor
