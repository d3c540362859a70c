#include "korvane.h"

#include "com_boundary.h"

namespace handler {

namespace {

const shellext::InterfaceEntry kInterfaces[] = {
    {&IID_IShellExtInit, false}, {&IID_IUnknown, false},     {&IID_IContextMenu, true},
    {&IID_IContextMenu2, true},  {&IID_IContextMenu3, true},
};

}  // namespace

Korvane::Korvane() : ComObject(kInterfaces) {}

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
