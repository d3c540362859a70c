// The editor's shell extension object: Explorer hands it the selection of a
// Properties dialog and asks it for pages; it adds the "Context Menu" page
// for the selected object's kind.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "selected_object.h"
#include "server_module.h"

namespace editor {

class Quillon final : public IShellExtInit, public IShellPropSheetExt, private shellext::CountedObject {
public:
    Quillon() = default;

    // IUnknown, shared by both interfaces.
    STDMETHODIMP QueryInterface(REFIID interfaceId, void** result) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IShellExtInit
    STDMETHODIMP Initialize(LPCITEMIDLIST folder, IDataObject* selection, HKEY progId) override;

    // IShellPropSheetExt
    STDMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam) override;
    STDMETHODIMP ReplacePage(EXPPS pageId, LPFNSVADDPROPSHEETPAGE replaceWith,
                             LPARAM lParam) override;

    const char* contextKind() const { return contextKind_; }

private:
    ~Quillon();
    void chooseKind(IDataObject* selection);

    ULONG references_ = 0;
    IDataObject* selection_ = nullptr;
    shellext::PathField path_ = {};
    const char* contextKind_ = nullptr;  // none until Initialize chose one
};

}  // namespace editor
