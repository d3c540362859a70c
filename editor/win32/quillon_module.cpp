// quillon.dll's module: its start-up and end, the class it serves and its
// registration table. The exports over them are the shared server's.
#include "quillon_module.h"

#include "activation_context.h"
#include "quillon.h"
#include "server_exports.h"
#include "toolbar_images.h"

namespace editor {

namespace {

OSVERSIONINFOA g_version = {sizeof(OSVERSIONINFOA), 0, 0, 0, 0, {}};
DWORD g_slot = TLS_OUT_OF_INDEXES;
HFONT g_symbolFont = nullptr;

// Property-sheet handlers for files, folders and drives; no folder
// background. The shell builds a drive's Properties dialog from the handlers
// under "Drive" only, so without that key the Drive and CDROM menus could
// not be edited anywhere.
const char* const kHandlerKeyFormats[] = {
    TALVEX_FILE_CLASS "\\shellex\\PropertySheetHandlers\\%s",
    TALVEX_FOLDER_CLASS "\\shellex\\PropertySheetHandlers\\%s",
    TALVEX_DRIVE_CLASS "\\shellex\\PropertySheetHandlers\\%s",
};

const shellext::ServerRegistration kRegistration = {
    kQuillonClassId, kQuillonFriendlyName, kHandlerKeyFormats,
    sizeof kHandlerKeyFormats / sizeof kHandlerKeyFormats[0]};

const shellext::ServedClass kClasses[] = {
    {kQuillonClassId, shellext::createFactoryOf<Quillon>},
};

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

const shellext::ServerDescription shellext::kServer = {
    editor::kClasses, sizeof editor::kClasses / sizeof editor::kClasses[0],
    editor::kRegistration, editor::startUp, editor::shutDown};
