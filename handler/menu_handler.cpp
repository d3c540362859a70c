#include "menu_handler.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>
#include <string>

#include "action.h"
#include "classify.h"
#include "menu_store.h"
#include "registry_key_store.h"
#include "win32_menu.h"

namespace handler {

namespace {

SystemVersion queryRealVersion() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return {0, 0};
    return {info.dwMajorVersion, info.dwMinorVersion};
}

VersionQuery g_versionQuery = queryRealVersion;

// Help text is only given to buffers longer than this.
constexpr UINT kShortestHelpBuffer = 35;

}  // namespace

void setVersionQuery(VersionQuery query) { g_versionQuery = query ? query : queryRealVersion; }

MenuHandler::~MenuHandler() {
    if (selection_) selection_->Release();
}

bool MenuHandler::takeFirstFile(IDataObject* selection) {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(selection->GetData(&format, &medium))) return false;
    char path[store::kPathSize] = {};
    bool found = medium.tymed == TYMED_HGLOBAL && medium.hGlobal &&
                 DragQueryFileA(static_cast<HDROP>(medium.hGlobal), 0, path, sizeof path) != 0;
    if (found) {
        store::copyField(contextPath_, sizeof contextPath_, path);
        ContextFacts facts = {true, PathIsRootA(path) != FALSE, GetDriveTypeA(path),
                              PathIsDirectoryA(path) != FALSE};
        contextKind_ = classifyContext(facts, contextKind_);
    }
    ReleaseStgMedium(&medium);
    return found;
}

void MenuHandler::initialize(LPCITEMIDLIST folder, IDataObject* selection) {
    if (selection_) {
        selection_->Release();
        selection_ = nullptr;
    }
    bool background = false;
    if (selection) {
        selection->AddRef();
        selection_ = selection;
        takeFirstFile(selection);
    } else if (folder) {
        char path[MAX_PATH] = {};
        if (!SHGetPathFromIDListA(folder, path)) path[0] = '\0';
        store::copyField(contextPath_, sizeof contextPath_, path);
        contextKind_ = classifyContext(ContextFacts{false, false, 0, false}, contextKind_);
        background = true;
    }
    store::RegistryKeyStore registry;
    store::writeBackgroundFlag(registry, background);
}

unsigned MenuHandler::buildMenu(HMENU menu, UINT indexMenu, UINT firstId, UINT lastId) {
    SystemVersion version = g_versionQuery();
    MenuRequest request = {contextKind_, menu, indexMenu, firstId, lastId,
                           chooseIconMode(version.major, version.minor, contextKind_)};
    store::RegistryKeyStore registry;
    Win32MenuSink sink(bitmaps_);
    return handler::buildMenu(registry, request, sink, items_);
}

const ItemSlot* MenuHandler::slot(UINT_PTR offset) const {
    return offset < items_.size() ? &items_[offset] : nullptr;
}

void MenuHandler::invoke(LPCSTR verb) {
    if (!IS_INTRESOURCE(verb)) return;  // verbs given as strings are not ours
    const ItemSlot* item = slot(LOWORD(reinterpret_cast<UINT_PTR>(verb)));
    if (!item || actionRunsNothing(item->action)) return;

    ParsedAction action = parseAction(item->action);
    std::string arguments;
    if (action.hasArguments) arguments = expandPlaceholders(action.arguments, contextPath_);
    std::string directory;
    if (action.hasDirectory) {
        directory = expandPlaceholders(action.directory, contextPath_);
        // A working directory that cannot be a path is not used half-cut.
        if (directory.size() >= store::kPathSize) return;
    }
    ShellExecuteA(nullptr, "open", action.program.c_str(),
                  action.hasArguments ? arguments.c_str() : nullptr,
                  action.hasDirectory ? directory.c_str() : nullptr, action.showCommand);
}

void MenuHandler::helpText(UINT_PTR offset, CHAR* buffer, UINT size) const {
    const ItemSlot* item = slot(offset);
    if (!item || !buffer || size <= kShortestHelpBuffer) return;
    store::copyField(buffer, size, item->prompt);
}

void MenuHandler::measureIcon(MEASUREITEMSTRUCT* measure) {
    if (!measure) return;
    measure->itemWidth = 2;
    measure->itemHeight = 16;
}

void MenuHandler::drawIcon(const DRAWITEMSTRUCT* draw) const {
    if (!draw) return;
    const ItemSlot* item = slot(draw->itemData);
    if (!item) return;
    OwnedIcon icon = extractSmallIcon(item->iconFile, item->iconIndex);
    if (!icon) return;
    DrawIconEx(draw->hDC, 1, draw->rcItem.top, icon.get(), 16, 16, 0, nullptr, DI_NORMAL);
}

}  // namespace handler
