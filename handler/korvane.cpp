#include "korvane.h"

#include "com_boundary.h"
#include "trace.h"

namespace handler {

using shellext::traced;

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
    HRESULT result = shellext::guardedCall([&] {
        handler_.initialize(folder, selection);
        return S_OK;
    });
    return traced("Korvane::Initialize", [&] {
        return shellext::traceText("folder=%s selection=%s result=0x%08lX kind=%s",
                                   folder ? "yes" : "no", selection ? "yes" : "no",
                                   static_cast<unsigned long>(result),
                                   handler_.contextKind() ? handler_.contextKind() : "(none)");
    }, S_OK);
}

STDMETHODIMP Korvane::QueryContextMenu(HMENU menu, UINT indexMenu, UINT firstId, UINT lastId,
                                       UINT) {
    return traced("Korvane::QueryContextMenu", [&] {
        return shellext::traceText("index=%u first=%u last=%u kind=%s", indexMenu, firstId, lastId,
                                   handler_.contextKind() ? handler_.contextKind() : "(none)");
    }, shellext::guardedCall([&] {
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, handler_.buildMenu(menu, indexMenu, firstId, lastId));
    }));
}

// A verb given by name belongs to another handler of the menu: the failure
// lets the shell offer it to the next one. Offsets answer S_OK, started or not.
STDMETHODIMP Korvane::InvokeCommand(CMINVOKECOMMANDINFO* invocation) {
    HRESULT result = invocation ? shellext::guardedCall([&] {
        return handler_.invoke(*invocation) ? S_OK : E_FAIL;
    }) : E_INVALIDARG;
    return traced("Korvane::InvokeCommand", [&] {
        if (!invocation) return std::string("null");
        return IS_INTRESOURCE(invocation->lpVerb)
                   ? shellext::traceText("offset=%u", LOWORD(reinterpret_cast<UINT_PTR>(invocation->lpVerb)))
                   : std::string("verb by name");
    }, result);
}

STDMETHODIMP Korvane::GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* buffer,
                                       UINT size) {
    return traced("Korvane::GetCommandString", [&] {
        return shellext::traceText("offset=%u type=%u size=%u", static_cast<unsigned>(offset), type, size);
    }, shellext::guardedCall([&] { return handler_.commandString(offset, type, buffer, size); }));
}

STDMETHODIMP Korvane::HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) {
    return HandleMenuMsg2(message, wParam, lParam, nullptr);
}

STDMETHODIMP Korvane::HandleMenuMsg2(UINT message, WPARAM, LPARAM lParam, LRESULT*) {
    traced("Korvane::HandleMenuMsg2", [&] { return shellext::traceText("message=0x%04X", message); }, S_OK);
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
