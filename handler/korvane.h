// The handler object Explorer creates for each context menu: IShellExtInit
// and IContextMenu3 over one reference count. The work is in MenuHandler.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "class_factory.h"
#include "menu_handler.h"
#include "server_module.h"

namespace handler {

class Korvane final : public IShellExtInit, public IContextMenu3, private shellext::CountedObject {
public:
    Korvane();
    Korvane(const Korvane&) = delete;
    Korvane& operator=(const Korvane&) = delete;

    // IUnknown, shared by both interfaces.
    STDMETHODIMP QueryInterface(REFIID interfaceId, void** result) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

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
    ~Korvane() = default;
    ULONG references_ = 0;
    MenuHandler handler_;
};

// The factory that creates Korvane objects.
using KorvaneClassFactory = shellext::ClassFactory<Korvane>;

}  // namespace handler
