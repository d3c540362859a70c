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

// A verb given by name belongs to another handler of the menu: the failure
// lets the shell offer it to the next one. Offsets answer S_OK, started or not.
STDMETHODIMP Korvane::InvokeCommand(CMINVOKECOMMANDINFO* invocation) {
    if (!invocation) return E_INVALIDARG;
    return shellext::guardedCall([&] { return handler_.invoke(*invocation) ? S_OK : E_FAIL; });
}

STDMETHODIMP Korvane::GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* buffer,
                                       UINT size) {
    return shellext::guardedCall([&] { return handler_.commandString(offset, type, buffer, size); });
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
