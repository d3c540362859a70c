// The handler object Explorer creates for each context menu: IShellExtInit
// and IContextMenu3 over one reference count. The work is in MenuHandler.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "class_factory.h"
#include "com_object.h"
#include "menu_handler.h"

namespace handler {

class Korvane final : public shellext::ComObject<IShellExtInit, IContextMenu3> {
public:
    Korvane();

    // IShellExtInit
    STDMETHODIMP Initialize(LPCITEMIDLIST folder, IDataObject* selection, HKEY progId) override;

    // IContextMenu3 and its bases
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT indexMenu, UINT firstId, UINT lastId,
                                  UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* invocation) override;
    STDMETHODIMP GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, CHAR* buffer,
                                  UINT size) override;
    STDMETHODIMP HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) override;
    STDMETHODIMP HandleMenuMsg2(UINT message, WPARAM wParam, LPARAM lParam,
                                LRESULT* result) override;

private:
    ~Korvane() override = default;  // the handler releases its data object, table and bitmaps
    MenuHandler handler_;
};

// The factory that creates Korvane objects.
using KorvaneClassFactory = shellext::ClassFactory<Korvane>;

}  // namespace handler
