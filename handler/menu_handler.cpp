#include "menu_handler.h"

#include <shlwapi.h>

#include <cstring>
#include <string>

#include "command_start.h"
#include "command_tree.h"
#include "context_kind.h"
#include "menu_store.h"
#include "packaged_menu.h"
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

void MenuHandler::takeFirstSelected(IDataObject* selection) {
    switch (shellext::readFirstSelected(selection, contextPath_)) {
        case shellext::SelectionRead::NoFileList:
            break;  // path and kind stay as they were
        case shellext::SelectionRead::TooLong:
            contextKind_ = nullptr;  // no menu for a path that cannot be named whole
            break;
        case shellext::SelectionRead::Read:
            contextKind_ = store::decideContextKind(shellext::factsAbout(contextPath_), contextKind_);
            break;
    }
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
        takeFirstSelected(selection);
    } else if (folder) {
        shellext::readFolder(folder, contextPath_);
        store::ContextFacts facts;
        facts.onBackground = true;
        contextKind_ = store::decideContextKind(facts, contextKind_);
        background = true;
    }
    store::RegistryKeyStore registry;
    store::writeBackgroundFlag(registry, background);
}

unsigned MenuHandler::buildMenu(HMENU menu, UINT indexMenu, UINT firstId, UINT lastId) {
    // With the package registered its verbs show these kinds' menus.
    if (packagedFrontShows(contextKind_) && packagedMenuRegistered()) return 1;
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
    if (item) startAction(item->action, contextPath_);
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
