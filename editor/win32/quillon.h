// The editor's shell extension object: Explorer hands it the selection of a
// Properties dialog and asks it for pages; it adds the "Context Menu" page
// for the selected object's kind.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "com_object.h"
#include "selected_object.h"

namespace editor {

class Quillon final : public shellext::ComObject<IShellExtInit, IShellPropSheetExt> {
public:
    Quillon();

    // IShellExtInit
    STDMETHODIMP Initialize(LPCITEMIDLIST folder, IDataObject* selection, HKEY progId) override;

    // IShellPropSheetExt
    STDMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam) override;
    STDMETHODIMP ReplacePage(EXPPS pageId, LPFNSVADDPROPSHEETPAGE replaceWith,
                             LPARAM lParam) override;

    const char* contextKind() const { return contextKind_; }

private:
    ~Quillon() override;
    void chooseKind(IDataObject* selection);
    HRESULT createPage(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam);

    IDataObject* selection_ = nullptr;
    shellext::PathField path_ = {};
    const char* contextKind_ = nullptr;  // none until Initialize chose one
};

}  // namespace editor
