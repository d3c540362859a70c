#include "korvane.h"

#include <new>


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

// Nothing may leave a method towards Explorer: allocation failures end here.
STDMETHODIMP Korvane::Initialize(LPCITEMIDLIST folder, IDataObject* selection, HKEY) {
    try {
        handler_.initialize(folder, selection);
    } catch (...) {
    }
    return S_OK;
}

STDMETHODIMP Korvane::QueryContextMenu(HMENU menu, UINT indexMenu, UINT firstId, UINT lastId,
                                       UINT) {
    try {
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, handler_.buildMenu(menu, indexMenu, firstId, lastId));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

STDMETHODIMP Korvane::InvokeCommand(CMINVOKECOMMANDINFO* invocation) {
    try {
        if (invocation) handler_.invoke(invocation->lpVerb);
    } catch (...) {
    }
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
    try {
        if (message == WM_MEASUREITEM)
            MenuHandler::measureIcon(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        else if (message == WM_DRAWITEM)
            handler_.drawIcon(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    } catch (...) {
    }
    return S_OK;
}

}  // namespace handler
