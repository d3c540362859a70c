#include "korvane.h"

#include "com_boundary.h"

namespace handler {

Korvane::Korvane() = default;

STDMETHODIMP Korvane::QueryInterface(REFIID interfaceId, void** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (IsEqualIID(interfaceId, IID_IShellExtInit) || IsEqualIID(interfaceId, IID_IUnknown))
        *result = static_cast<IShellExtInit*>(this);
    else if (IsEqualIID(interfaceId, IID_IContextMenu) ||
             IsEqualIID(interfaceId, IID_IContextMenu2) ||
             IsEqualIID(interfaceId, IID_IContextMenu3))
        *result = static_cast<IContextMenu3*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Korvane::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) Korvane::Release() {
    if (--references_ != 0) return references_;
    delete this;  // the handler releases its data object, table and bitmaps
    return 0;
}

// Nothing may leave a method towards Explorer: allocation failures end in
// the guard. The menu methods answer S_OK even when they did nothing.
STDMETHODIMP Korvane::Initialize(LPCITEMIDLIST folder, IDataObject* selection, HKEY) {
    shellext::guardedCall([&] {
        handler_.initialize(folder, selection);
        return S_OK;
    });
    return S_OK;
}

STDMETHODIMP Korvane::QueryContextMenu(HMENU menu, UINT indexMenu, UINT firstId, UINT lastId,
                                       UINT) {
    return shellext::guardedCall([&] {
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, handler_.buildMenu(menu, indexMenu, firstId, lastId));
    });
}

STDMETHODIMP Korvane::InvokeCommand(CMINVOKECOMMANDINFO* invocation) {
    shellext::guardedCall([&] {
        if (invocation) handler_.invoke(invocation->lpVerb);
        return S_OK;
    });
    return S_OK;
}

STDMETHODIMP Korvane::GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* buffer,
                                       UINT size) {
    if (type == GCS_HELPTEXTA) handler_.helpText(offset, buffer, size);
    return S_OK;
}

STDMETHODIMP Korvane::HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) {
    return HandleMenuMsg2(message, wParam, lParam, nullptr);
}

STDMETHODIMP Korvane::HandleMenuMsg2(UINT message, WPARAM, LPARAM lParam, LRESULT*) {
    shellext::guardedCall([&] {
        if (message == WM_MEASUREITEM)
            MenuHandler::measureIcon(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        else if (message == WM_DRAWITEM)
            handler_.drawIcon(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return S_OK;
    });
    return S_OK;
}

}  // namespace handler
