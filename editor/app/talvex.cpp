// talvex.exe <kind>: the "Context Menu" page of quillon.dll for one menu, in
// a property sheet of its own, so that a user can edit the menu of drives or
// of folder backgrounds without finding the right Properties dialog. The
// kind is one of *, Directory, Background, Drive and CDROM. quillon is
// created by its class id, as the shell creates it, and is handed a data
// object that names the kind instead of a path.
// talvex.exe export [file] / import [file]: the menus file (menus_commands.h).
// talvex.exe alone: the "Talvex Menus" window (menus_window.h).
//
// Exit codes: 0 done (or usage was asked for); 1 a menus file that was bad
// or could not be read or written; 2 the command line names nothing
// talvex.exe does; 3 the editor could not be created.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "app_output.h"
#include "class_id.h"
#include "com_object.h"
#include "context_kind.h"
#include "menus_commands.h"
#include "menus_window.h"
#include "selected_object.h"
#include "shared_save_counts.h"
#include "store_layout.h"

namespace {

using shellext::kQuillonClassId;

using talvex_app::kAppTitle;
using talvex_app::kExitBadArguments;
constexpr int kExitNoEditor = 3;

constexpr wchar_t kUsage[] =
    L"Usage: talvex.exe [kind]\n"
    L"       talvex.exe export [file] | import [file]\n\n"
    L"Without a word: a window with a button for each menu.\n"
    L"A kind opens the Context Menu page for one of your menus:\n"
    L"  *\t\tfiles\n"
    L"  Directory\tfolders\n"
    L"  Background\tthe background of a folder window\n"
    L"  Drive\t\tfixed drives\n"
    L"  CDROM\t\tCD and DVD drives\n"
    L"export [file] writes all your menus to a file; import [file] replaces\n"
    L"the menus the file holds with its own. Without a file a dialog asks.";

struct Menu {
    const char* kind;
    const char* title;
};

const Menu kMenus[] = {{"*", "Files"},
                       {"Directory", "Folders"},
                       {"Background", "Folder backgrounds"},
                       {"Drive", "Fixed drives"},
                       {"CDROM", "CD drives"}};

void tell(const std::wstring& text, UINT icon) {
    MessageBoxW(nullptr, text.c_str(), kAppTitle, MB_OK | icon);
}

const shellext::InterfaceEntry kSelectionInterfaces[] = {
    {&IID_IUnknown, false},
    {&IID_IDataObject, false},
};

// A data object that offers one thing: the kind's name in the format quillon
// reads before it looks for a selected path. It is made with one reference,
// its creator's.
class KindSelection final : public shellext::ComObject<IDataObject> {
public:
    explicit KindSelection(const char* kind)
        : ComObject(kSelectionInterfaces),
          format_(static_cast<CLIPFORMAT>(RegisterClipboardFormatA(shellext::kContextKindFormat))),
          kind_(kind) {
        AddRef();
    }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium) return E_INVALIDARG;
        HRESULT offered = QueryGetData(format);
        if (offered != S_OK) return offered;
        const SIZE_T size = std::strlen(kind_) + 1;
        HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, size);
        if (!text) return E_OUTOFMEMORY;
        void* bytes = GlobalLock(text);
        if (!bytes) {
            GlobalFree(text);
            return E_OUTOFMEMORY;
        }
        std::memcpy(bytes, kind_, size);
        GlobalUnlock(text);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = text;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        if (!format) return E_INVALIDARG;
        if (!format_ || format->cfFormat != format_) return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        return S_OK;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC** result) override {
        if (result) *result = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~KindSelection() override = default;

    CLIPFORMAT format_;
    const char* kind_;
};

BOOL CALLBACK collectPage(HPROPSHEETPAGE page, LPARAM pages) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(pages)->push_back(page);
    return TRUE;
}

// The editor's pages for the kind; none when quillon cannot be created.
std::vector<HPROPSHEETPAGE> editorPages(const char* kind) {
    std::vector<HPROPSHEETPAGE> pages;
    IShellExtInit* init = nullptr;
    if (FAILED(CoCreateInstance(kQuillonClassId, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IShellExtInit, reinterpret_cast<void**>(&init))))
        return pages;
    auto* selection = new KindSelection(kind);
    IShellPropSheetExt* extension = nullptr;
    if (SUCCEEDED(init->Initialize(nullptr, selection, nullptr)) &&
        SUCCEEDED(init->QueryInterface(IID_IShellPropSheetExt,
                                       reinterpret_cast<void**>(&extension))))
        extension->AddPages(collectPage, reinterpret_cast<LPARAM>(&pages));
    if (extension) extension->Release();
    init->Release();
    selection->Release();
    return pages;
}

std::string narrow(const wchar_t* text) {
    std::string result;
    for (; *text; ++text) result += *text < 0x80 ? static_cast<char>(*text) : '\x7f';
    return result;
}

int run() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> words;
    for (int i = 1; arguments && i < count; ++i) words.push_back(arguments[i]);
    if (arguments) LocalFree(arguments);

    if (words.size() == 1 && (words[0] == L"/?" || words[0] == L"-h" || words[0] == L"--help")) {
        tell(kUsage, MB_ICONINFORMATION);
        return 0;
    }
    if (words.empty()) return talvex_app::runMenusWindow();
    if (words[0] == L"export" || words[0] == L"import") {
        talvex_app::Output& output = talvex_app::processOutput();
        if (words.size() > 2) {
            output.say(L"talvex.exe " + words[0] + L" takes one file, not " +
                           std::to_wstring(words.size() - 1) + L".\n\n" + kUsage,
                       talvex_app::Tone::Error);
            return kExitBadArguments;
        }
        const std::wstring* file = words.size() == 2 ? &words[1] : nullptr;
        return words[0] == L"export" ? talvex_app::exportMenus(file, output)
                                     : talvex_app::importMenus(file, output);
    }
    // Any character outside ASCII becomes DEL, which no kind contains.
    const char* kind = store::contextKindNamed(narrow(words[0].c_str()).c_str());
    if (words.size() > 1 || !kind) {
        std::wstring text = words.size() > 1 ? L"talvex.exe takes one menu kind, not " +
                                                   std::to_wstring(words.size()) + L"."
                                             : L"\"" + words[0] + L"\" is not a menu kind.";
        tell(text + L"\n\n" + kUsage, MB_ICONERROR);
        return kExitBadArguments;
    }
    const Menu* menu = &kMenus[0];
    for (const Menu& m : kMenus)
        if (std::strcmp(m.kind, kind) == 0) menu = &m;

    std::vector<HPROPSHEETPAGE> pages = editorPages(menu->kind);
    if (pages.empty()) {
        tell(L"The menu editor, quillon.dll, is not registered or did not load.\n\n"
             L"Install Talvex context menus again to repair it.",
             MB_ICONERROR);
        return kExitNoEditor;
    }
    const std::string caption = std::string("Talvex: ") + menu->title;
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_USEICONID;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszIcon = MAKEINTRESOURCEA(1);
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.phpage = pages.data();
    PropertySheetA(&header);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return kExitNoEditor;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // An import saves through the editor's save path: the open pages of
    // every editor process hear of it.
    editor::shareSaveCountsAcrossProcesses();
    int code = kExitNoEditor;
    try {
        code = run();
    } catch (...) {
    }
    CoUninitialize();
    return code;
}
