#include "menu_handler.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>
#include <string>

#include "command_start.h"
#include "code_page_text.h"
#include "command_tree.h"
#include "context_kind.h"
#include "menu_store.h"
#include "name_filter.h"
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
    // Where this account has the package, its verbs show these kinds' menus.
    if (packagedFrontShows(contextKind_) && accountHasPackagedMenu()) return 1;
    SystemVersion version = g_versionQuery();
    MenuRequest request = {contextKind_, menu, indexMenu, firstId, lastId,
                           chooseIconMode(version.major, version.minor, contextKind_)};
    DeferredSelectionFilter filter(&MenuHandler::selectedPathsOf, this, &text16FromCodePage);
    if (filtersApplyTo(contextKind_)) request.filter = &filter;
    store::RegistryKeyStore registry;
    Win32MenuSink sink(bitmaps_);
    return handler::buildMenu(registry, request, sink, items_);
}

const ItemSlot* MenuHandler::slot(UINT_PTR offset) const {
    return offset < items_.size() ? &items_[offset] : nullptr;
}

bool MenuHandler::invoke(const CMINVOKECOMMANDINFO& invocation) {
    // With CMIC_MASK_UNICODE an extended record names the verb in lpVerbW too.
    const auto& extended = reinterpret_cast<const CMINVOKECOMMANDINFOEX&>(invocation);
    bool wide = (invocation.fMask & CMIC_MASK_UNICODE) && invocation.cbSize >= sizeof extended;
    if (!IS_INTRESOURCE(invocation.lpVerb) || (wide && !IS_INTRESOURCE(extended.lpVerbW)))
        return false;
    const ItemSlot* item = slot(LOWORD(reinterpret_cast<UINT_PTR>(invocation.lpVerb)));
    if (!item) return true;
    const ChosenCommand chosen = chosenCommand(item->id);
    // The rest of the selection is read only for a command that takes it.
    const std::vector<std::wstring> paths =
        chosen.selection == store::kSelectionFirstOnly ? std::vector<std::wstring>{contextPath_}
                                                       : selectedPaths();
    startCommand(chosen.toStart(), paths, invocation.hwnd);
    return true;
}

std::vector<std::wstring> MenuHandler::selectedPaths() const {
    std::vector<std::wstring> paths = selection_ ? shellext::readAllSelected(selection_)
                                                 : std::vector<std::wstring>();
    if (paths.empty() || paths.front() != contextPath_) paths.assign(1, contextPath_);
    return paths;
}

std::vector<std::u16string> MenuHandler::selectedPathsOf(void* handler) {
    return text16Of(static_cast<const MenuHandler*>(handler)->selectedPaths());
}

HRESULT MenuHandler::commandString(UINT_PTR offset, UINT type, CHAR* buffer, UINT size) const {
    const ItemSlot* item = slot(offset);
    switch (type) {
        case GCS_VALIDATEA:
        case GCS_VALIDATEW:
            return item ? S_OK : S_FALSE;
        case GCS_HELPTEXTA:
        case GCS_HELPTEXTW:
            break;
        default:
            return E_INVALIDARG;  // verbs and anything else: korvane has none to give
    }
    if (!item || !buffer) return E_INVALIDARG;
    if (size <= kShortestHelpBuffer) return S_OK;
    if (type == GCS_HELPTEXTA) {
        store::copyField(buffer, size, item->prompt);
        return S_OK;
    }
    // The prompt is the store's, in the code page; a text cut to the buffer
    // keeps a surrogate pair whole or leaves it out.
    wchar_t* wide = reinterpret_cast<wchar_t*>(buffer);
    int units = MultiByteToWideChar(CP_ACP, 0, item->prompt, -1, nullptr, 0);
    if (units <= 0) {
        wide[0] = L'\0';
        return S_OK;
    }
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, item->prompt, -1, &text[0], units);
    text.resize(static_cast<std::size_t>(units - 1));
    std::size_t keep = text.size() < size ? text.size() : size - 1;
    if (keep > 0 && keep < text.size() && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF)
        --keep;
    text.copy(wide, keep);
    wide[keep] = L'\0';
    return S_OK;
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
    OwnedIcon icon = smallIconOf(*item);
    if (!icon) return;
    DrawIconEx(draw->hDC, 1, draw->rcItem.top, icon.get(), 16, 16, 0, nullptr, DI_NORMAL);
}

}  // namespace handler
