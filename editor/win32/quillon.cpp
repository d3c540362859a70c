#include "quillon.h"

#include <commctrl.h>

#include <cstddef>
#include <new>

#include "activation_context.h"
#include "com_boundary.h"
#include "context_kind.h"
#include "menu_store.h"
#include "page_window.h"
#include "quillon_module.h"
#include "registry_key_store.h"
#include "resource_ids.h"
#include "trace.h"

namespace editor {

namespace {

// The size of the page layout that ends with the activation-context field,
// as the property sheet of every version takes it (52 bytes on 32-bit).
constexpr DWORD kPageDescriptionSize =
    static_cast<DWORD>(offsetof(PROPSHEETPAGEA, hActCtx) + sizeof(HANDLE));
static_assert(sizeof(void*) != 4 || kPageDescriptionSize == 52, "the 32-bit layout is 52 bytes");

// The page's state travels in the page description's lParam: the sheet
// copies it into the page and hands it back to the callback and to the
// dialog's WM_INITDIALOG, so two pages on one thread never meet in one slot.
UINT CALLBACK pageCallback(HWND, UINT message, LPPROPSHEETPAGEA page) {
    return shellext::guardedOr<UINT>(1, [&]() -> UINT {
        auto* context = page ? reinterpret_cast<PageContext*>(page->lParam) : nullptr;
        if (!context) return 1;
        if (message == PSPCB_ADDREF && !context->counted) {
            // Counted here as well as through pcRefParent: some hosts never
            // move that counter, and the page must keep the module loaded.
            context->counted = true;
            shellext::objectCreated();
            TlsSetValue(pageSlot(), context);
        } else if (message == PSPCB_RELEASE) {
            if (TlsGetValue(pageSlot()) == context) TlsSetValue(pageSlot(), nullptr);
            bool counted = context->counted;
            delete context;
            if (counted) shellext::objectDestroyed();
        }
        return 1;
    });
}

}  // namespace

const shellext::InterfaceEntry kQuillonInterfaces[] = {
    {&IID_IShellExtInit, false}, {&IID_IUnknown, false}, {&IID_IShellPropSheetExt, true}};

Quillon::Quillon() : ComObject(kQuillonInterfaces) {}

Quillon::~Quillon() {
    if (selection_) selection_->Release();
}

STDMETHODIMP Quillon::Initialize(LPCITEMIDLIST, IDataObject* selection, HKEY) {
    const HRESULT result = shellext::guardedCall([&] {
        if (selection_) selection_->Release();
        selection_ = nullptr;
        contextKind_ = nullptr;
        if (selection) {
            selection_ = selection;
            selection_->AddRef();
            chooseKind(selection);
        }
        return S_OK;
    });
    return shellext::traced("Quillon::Initialize", [&] {
        return shellext::traceText("selection=%s result=0x%08lX kind=%s", selection ? "yes" : "no",
                                   static_cast<unsigned long>(result),
                                   contextKind_ ? contextKind_ : "(none)");
    }, S_OK);
}

void Quillon::chooseKind(IDataObject* selection) {
    if ((contextKind_ = shellext::namedContextKind(selection))) return;
    if (shellext::readFirstSelected(selection, path_) != shellext::SelectionRead::Read) return;
    store::ContextFacts facts = shellext::factsAbout(path_);
    if (facts.isDirectory) {
        store::RegistryKeyStore keys;
        facts.lastMenuOnBackground = store::readBackgroundFlag(keys);
    }
    contextKind_ = store::decideContextKind(facts, nullptr);
}

STDMETHODIMP Quillon::AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam) {
    return shellext::traced("Quillon::AddPages", [&] {
        return std::string("kind=") + (contextKind_ ? contextKind_ : "(none)");
    }, createPage(addPage, lParam));
}

HRESULT Quillon::createPage(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam) {
    return shellext::guardedCall([&]() -> HRESULT {
        // Nothing defines a menu for an object of no kind: no page.
        if (!contextKind_ || !addPage) return S_OK;
        auto* context = new (std::nothrow) PageContext();
        if (!context) return E_OUTOFMEMORY;
        setContextKind(context->state, contextKind_);

        PROPSHEETPAGEA page = {};
        page.dwSize = kPageDescriptionSize;
        page.dwFlags = PSP_USEICONID | PSP_USEREFPARENT | PSP_USECALLBACK;
        page.hInstance = shellext::moduleHandle();
        page.pszTemplate = MAKEINTRESOURCEA(IDD_PAGE);
        page.pszIcon = MAKEINTRESOURCEA(IDI_TAB_ICON);
        page.pfnDlgProc = pageDialogProc;
        page.lParam = reinterpret_cast<LPARAM>(context);
        page.pfnCallback = pageCallback;
        page.pcRefParent = shellext::objectCounter();
        HPROPSHEETPAGE handle = nullptr;
        {
            ActivationScope scope;
            handle = CreatePropertySheetPageA(&page);
        }
        if (!handle) {
            if (!context->counted) delete context;  // the callback never took it
            return E_OUTOFMEMORY;
        }
        if (addPage(handle, lParam)) return S_OK;
        ActivationScope scope;
        DestroyPropertySheetPage(handle);  // its release frees the context
        return E_FAIL;
    });
}

STDMETHODIMP Quillon::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) {
    return shellext::traced("Quillon::ReplacePage", E_NOTIMPL);
}

}  // namespace editor
