// quillon.dll's exports: its start-up and end, its class factory and its
// registration table.
#include "quillon_module.h"

#include "activation_context.h"
#include "class_factory.h"
#include "quillon.h"
#include "registration.h"
#include "server_module.h"
#include "toolbar_images.h"

namespace editor {

const CLSID kQuillonClassId = {0xE3294060, 0xCF0A, 0x4B27,
                               {0x8F, 0x8A, 0x8A, 0x1C, 0xF8, 0xEB, 0x24, 0x56}};

namespace {

OSVERSIONINFOA g_version = {sizeof(OSVERSIONINFOA), 0, 0, 0, 0, {}};
DWORD g_slot = TLS_OUT_OF_INDEXES;
HFONT g_symbolFont = nullptr;

// Property-sheet handlers for files, folders and drives; no folder
// background. The shell builds a drive's Properties dialog from the handlers
// under "Drive" only, so without that key the Drive and CDROM menus could
// not be edited anywhere.
const char* const kHandlerKeyFormats[] = {
    "*\\shellex\\PropertySheetHandlers\\%s",
    "Directory\\shellex\\PropertySheetHandlers\\%s",
    "Drive\\shellex\\PropertySheetHandlers\\%s",
};

const shellext::ServerRegistration kRegistration = {
    kQuillonClassId, kQuillonFriendlyName, kHandlerKeyFormats,
    sizeof kHandlerKeyFormats / sizeof kHandlerKeyFormats[0]};

HFONT createSymbolFont() {
    LOGFONTA font = {};
    font.lfHeight = -13;
    font.lfWeight = 500;
    font.lfCharSet = SYMBOL_CHARSET;
    font.lfOutPrecision = OUT_STROKE_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH;
    lstrcpynA(font.lfFaceName, "Marlett", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

BOOL startUp(HINSTANCE module) {
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    GetVersionExA(&g_version);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    shellext::setModuleHandle(module);
    g_slot = TlsAlloc();
    if (g_slot == TLS_OUT_OF_INDEXES) return FALSE;
    createModuleActivationContext(module);
    createToolbarImages(module);
    g_symbolFont = createSymbolFont();
    return TRUE;
}

void shutDown() {
    TlsFree(g_slot);
    g_slot = TLS_OUT_OF_INDEXES;
    destroyToolbarImages();
    releaseModuleActivationContext();
    if (g_symbolFont) DeleteObject(g_symbolFont);
    g_symbolFont = nullptr;
}

}  // namespace

const OSVERSIONINFOA& systemVersion() { return g_version; }
DWORD pageSlot() { return g_slot; }
HFONT symbolFont() { return g_symbolFont; }

}  // namespace editor

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) return editor::startUp(instance);
    if (reason == DLL_PROCESS_DETACH) editor::shutDown();
    return TRUE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return shellext::canUnloadNow(); }

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID classId, REFIID interfaceId, void** result) {
    return shellext::getClassObject<editor::Quillon>(classId, editor::kQuillonClassId,
                                                     interfaceId, result);
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    return shellext::registerServer(editor::kRegistration, shellext::moduleHandle());
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    return shellext::unregisterServer(editor::kRegistration);
}
