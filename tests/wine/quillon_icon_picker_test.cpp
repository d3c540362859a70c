// The icon picker opened from the real page in Wine's Properties dialog: the
// Open dialog with its panel of icons, driven over a folder holding a copy
// of a library with many icons, an .ico, a library without icons and a
// subfolder; the picked location stored by Apply and drawn by korvane.dll;
// an icon file named outside the system code page.
#include <doctest/doctest.h>

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "check_printers.h"
#include "file_dialog_driver.h"
#include "foreign_names.h"
#include "handler_host.h"
#include "import_patch.h"
#include "page_texts.h"
#include "resource_ids.h"
#include "shell_host.h"
#include "test_paths.h"

using namespace sheet_driver;
using namespace file_dialog_driver;
using page_texts::kConfirm;
using foreign_names::createFile;

namespace {

// A 16 x 16 icon of one colour, in the .ico file format.
void writeIcoFile(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    auto put = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    const std::uint32_t imageSize = 40 + 16 * 16 * 4 + 16 * 4;
    put(0, 2), put(1, 2), put(1, 2);                                  // an icon file, one image
    put(16, 1), put(16, 1), put(0, 1), put(0, 1), put(1, 2), put(32, 2);
    put(imageSize, 4), put(6 + 16, 4);
    put(40, 4), put(16, 4), put(32, 4), put(1, 2), put(32, 2);       // the image and its mask
    for (int i = 0; i < 6; ++i) put(0, 4);
    for (int i = 0; i < 16 * 16; ++i) put(0xFF20A040, 4);
    for (int i = 0; i < 16; ++i) put(0, 4);
    createFile(path, std::string(bytes.begin(), bytes.end()));
}

// The files the user picks among.
struct IconFolder {
    std::string root = "C:\\icon-samples";
    std::string library = root + "\\many.dll";  // a copy of shell32.dll
    std::string ico = root + "\\one.ico";
    std::string plain = root + "\\plain.dll";   // this test program, which carries no icons
    std::string other = root + "\\other";
    IconFolder() {
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA(other.c_str(), nullptr);
        CreateDirectoryA((root + "\\inner").c_str(), nullptr);
        REQUIRE(CopyFileA("C:\\windows\\system32\\shell32.dll", library.c_str(), FALSE));
        char self[MAX_PATH] = "";
        REQUIRE(GetModuleFileNameA(nullptr, self, MAX_PATH) > 0);
        REQUIRE(CopyFileA(self, plain.c_str(), FALSE));
        writeIcoFile(wide(ico));
        createFile(wide(root + "\\broken.dll"), "MZ not a library");
        writeIcoFile(wide(other + "\\two.ico"));
    }
};

// The icons quillon.dll extracts and destroys, counted through its imports.
namespace icon_count {
std::mutex lock;
std::set<HICON> live;
int extracted = 0;

UINT WINAPI extract(LPCWSTR file, int index, HICON* large, HICON* small, UINT count) {
    UINT result = ExtractIconExW(file, index, large, small, count);
    std::lock_guard<std::mutex> hold(lock);
    for (HICON* icons : {large, small})
        for (UINT i = 0; icons && index != -1 && i < count; ++i)
            if (icons[i] && live.insert(icons[i]).second) ++extracted;
    return result;
}
BOOL WINAPI destroy(HICON icon) {
    {
        std::lock_guard<std::mutex> hold(lock);
        live.erase(icon);
    }
    return DestroyIcon(icon);
}
std::string counts() {
    std::lock_guard<std::mutex> hold(lock);
    return std::to_string(extracted) + " extracted, " + std::to_string(live.size()) + " alive";
}

// While it lives, every icon quillon.dll extracts or destroys is counted.
struct Counting {
    HMODULE quillon = GetModuleHandleA("quillon.dll");
    import_patch::ImportPatch extracts{quillon, "shell32.dll", "ExtractIconExW",
                                       reinterpret_cast<ULONG_PTR>(&extract)};
    import_patch::ImportPatch destroys{quillon, "user32.dll", "DestroyIcon",
                                       reinterpret_cast<ULONG_PTR>(&destroy)};
    Counting() {
        std::lock_guard<std::mutex> hold(lock);
        live.clear();
        extracted = 0;
    }
    bool patched() const { return extracts.patched() && destroys.patched(); }
};
}  // namespace icon_count

int iconsIn(const std::string& file) {
    return static_cast<int>(ExtractIconExA(file.c_str(), -1, nullptr, nullptr, 0));
}

// A page on one stored command with an icon, selected, and its picker.
struct PickerPage {
    shell_host::ComScope com;
    shell_host::SampleFolder samples;
    IconFolder icons;
    DialogThread ui;
    Sheet sheet;
    Page page;
    PickerPage() : sheet((setUp(), ui), samples.root + "\\a.txt"), page(sheet) {
        REQUIRE(page);
        REQUIRE(page.select("Run"));
    }
    static void setUp() {
        shell_host::clearStore();
        shell_host::putItem(1, "Run", false, "x.exe", "", "old.dll,1");
        shell_host::putIndex("*", {{1, 0}});
        shell_host::putMaxId(1);
    }
    // Clicks "..." and enters the sample folder in the Open dialog.
    void openPicker() {
        postCommand(page.window(), IDC_ICON_BROWSE, BN_CLICKED, GetDlgItem(page.window(), IDC_ICON_BROWSE));
    }
    // Open is refused with a message of the dialog's own, which stays open;
    // cancelled then, it leaves the icon field as it was.
    void expectRefusedInDialog(OpenDialog& open, const char* words) {
        {
            Answer refused(ui.id(), "Quillon", IDOK);
            open.post(IDOK);
            CHECK(refused.text().find(words) != std::string::npos);
            CHECK(refused.owner() == open.window());
        }
        CHECK(open.open());
        CHECK(open.close(IDCANCEL));
        CHECK(page.text(IDC_ICON_PATH) == "old.dll,1");
    }
    bool waitIcons(OpenDialog& open, int count) {
        return waitUntil([&] { return open.iconCount() == count; });
    }
    // Clicks "...", enters the sample folder and selects `file` there; the
    // list then shows `count` icons.
    std::unique_ptr<OpenDialog> pickerOn(const std::string& file, int count) {
        openPicker();
        auto open = std::make_unique<OpenDialog>(ui);
        REQUIRE(*open);
        open->enter(icons.root);
        CHECK(waitUntil([&] { return open->folder() == icons.root; }));
        REQUIRE(open->select(file));
        CHECK(waitIcons(*open, count));
        return open;
    }
};

}  // namespace

TEST_CASE("the fourth icon of a library: listed in file order, picked, stored and drawn by the menu") {
    PickerPage p;
    const int count = iconsIn(p.icons.library);
    REQUIRE(count > 4);
    p.openPicker();
    {
        OpenDialog open(p.ui);
        REQUIRE(open);
        CHECK(open.filters() == "Icon Files (*.ico;*.exe;*.dll)");
        REQUIRE(open.iconList());
        CHECK(open.iconCount() == 0);
        open.enter(p.icons.root);
        CHECK(waitUntil([&] { return open.folder() == p.icons.root; }));

        REQUIRE(open.select("many.dll"));
        CHECK(p.waitIcons(open, count));
        CHECK(open.iconsWithoutPicture() == 0);
        CHECK(open.iconSelection() == 0);
        // The list keeps the user's choice whenever it gains the focus.
        open.clickIcon(3);
        CHECK(open.iconSelection() == 3);
        open.focusIcons();
        CHECK(open.iconsFocused());
        CHECK(open.iconSelection() == 3);
        // A subfolder selected keeps the file's icons.
        REQUIRE(open.select("inner"));
        Sleep(100);
        CHECK(open.iconCount() == count);
        REQUIRE(open.select("many.dll"));
        CHECK(p.waitIcons(open, count));
        open.clickIcon(3);
        CHECK(open.close(IDOK));
    }
    CHECK(waitUntil([&] { return p.page.text(IDC_ICON_PATH) == p.icons.library + ",3"; }));
    CHECK(p.page.text(IDC_ICON_PATH) == p.icons.library + ",3");
    CHECK(p.page.focus() == IDC_ICON_BROWSE);
    CHECK(p.page.tab() == "*Context Menu");
    p.sheet.apply();
    CHECK(stored::value(stored::itemKey(1), "Icon") == p.icons.library + ",3");

    HMENU popup = CreatePopupMenu();
    handler_host::Handler handler({p.samples.root + "\\a.txt"}, popup);
    CHECK(handler.drawIcon(0) == handler_host::expectedIcon(p.icons.library, 3));
    CHECK(handler.drawIcon(0) != handler_host::expectedIcon(p.icons.library, 1));
    DestroyMenu(popup);
}

TEST_CASE("an .ico, a double click, another folder, a file without icons and Cancel") {
    PickerPage p;
    const int count = iconsIn(p.icons.library);

    SUBCASE("an .ico holds one icon, preselected: \",0\"") {
        std::unique_ptr<OpenDialog> picker = p.pickerOn("one.ico", 1);
        OpenDialog& open = *picker;
        CHECK(open.iconSelection() == 0);
        open.focusIcons();  // the focus in the list keeps the only icon selected
        CHECK(open.iconsFocused());
        CHECK(open.iconSelection() == 0);
        CHECK(open.close(IDOK));
        CHECK(waitUntil([&] { return p.page.text(IDC_ICON_PATH) == p.icons.ico + ",0"; }));
    }
    SUBCASE("a double click confirms at once") {
        std::unique_ptr<OpenDialog> picker = p.pickerOn("many.dll", count);
        OpenDialog& open = *picker;
        open.clickIcon(2, true);
        CHECK(open.waitClosed());
        CHECK(waitUntil([&] { return p.page.text(IDC_ICON_PATH) == p.icons.library + ",2"; }));
    }
    SUBCASE("another folder empties the list; a file without icons asks, Yes stays, No leaves the field") {
        std::unique_ptr<OpenDialog> picker = p.pickerOn("many.dll", count);
        OpenDialog& open = *picker;
        open.enter(p.icons.other);
        CHECK(waitUntil([&] { return open.folder() == p.icons.other; }));
        CHECK(p.waitIcons(open, 0));
        open.enter(p.icons.root);
        for (const char* empty : {"broken.dll", "plain.dll"}) {  // unreadable, then without icons
            REQUIRE(open.select(empty));
            CHECK(p.waitIcons(open, 0));
        }
        {
            Answer yes(p.ui.id(), kConfirm, IDYES);
            open.post(IDOK);
            CHECK(yes.text() == "There is no icon in the selected file. Continue selecting?");
            CHECK(yes.buttons() == "Yes No");
            CHECK(yes.owner() == open.window());
        }
        CHECK(open.open());
        {
            Answer no(p.ui.id(), kConfirm, IDNO);
            open.post(IDOK);
            CHECK(no.asked());
        }
        CHECK(open.waitClosed());
        CHECK(p.page.text(IDC_ICON_PATH) == "old.dll,1");
        CHECK(p.page.tab() == "Context Menu");
    }
    SUBCASE("Cancel changes nothing") {
        std::unique_ptr<OpenDialog> picker = p.pickerOn("many.dll", count);
        CHECK(picker->close(IDCANCEL));
        CHECK(p.page.text(IDC_ICON_PATH) == "old.dll,1");
        CHECK(p.page.tab() == "Context Menu");
    }
}

TEST_CASE("every icon the picker lists is destroyed: after Cancel, after Open, after another file") {
    PickerPage p;
    const int count = iconsIn(p.icons.library);
    int extracted = count;
    icon_count::Counting counting;
    REQUIRE_MESSAGE(counting.patched(), "quillon.dll imports no ExtractIconExW or DestroyIcon");

    SUBCASE("Cancel") {
        CHECK(p.pickerOn("many.dll", count)->close(IDCANCEL));
    }
    SUBCASE("Open") {
        std::unique_ptr<OpenDialog> open = p.pickerOn("many.dll", count);
        open->clickIcon(3);
        CHECK(open->close(IDOK));
        CHECK(waitUntil([&] { return p.page.text(IDC_ICON_PATH) == p.icons.library + ",3"; }));
    }
    SUBCASE("another file chosen, then Cancel") {
        std::unique_ptr<OpenDialog> open = p.pickerOn("many.dll", count);
        REQUIRE(open->select("one.ico"));
        CHECK(p.waitIcons(*open, 1));
        extracted = count + 1;
        CHECK(icon_count::counts() == std::to_string(extracted) + " extracted, 1 alive");
        CHECK(open->close(IDCANCEL));
    }
    const std::string none = std::to_string(extracted) + " extracted, 0 alive";
    CHECK(waitUntil([&] { return icon_count::counts() == none; }));
    CHECK(icon_count::counts() == none);
}

TEST_CASE("a path too long to take its icon's number is refused, and the dialog stays open") {
    PickerPage p;
    // Folders nested to 240 characters, then a file name that brings the
    // path to 258: with ",3" the location would pass 259 characters.
    std::string folder = p.icons.root;
    while (folder.size() < 228) {
        folder += "\\" + std::string(std::min<size_t>(40, 228 - folder.size() - 1), 'd');
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    const std::string file = folder + "\\" + std::string(258 - folder.size() - 1 - 4, 'f') + ".dll";
    REQUIRE(file.size() == 258);
    REQUIRE(CopyFileA(p.icons.library.c_str(), file.c_str(), FALSE));

    p.openPicker();
    OpenDialog open(p.ui);
    REQUIRE(open);
    open.enter(folder);
    CHECK(waitUntil([&] { return open.folder() == folder; }));
    REQUIRE(open.select(file.substr(folder.size() + 1)));
    CHECK(p.waitIcons(open, iconsIn(p.icons.library)));
    open.clickIcon(3);
    p.expectRefusedInDialog(open, "too long");
}

TEST_CASE("an .ico named outside the code page lists its icon; stored by short name, or refused in the dialog") {
    foreign_names::requireCodePage1252();
    PickerPage p;
    const std::wstring folder = wide(p.icons.root) + L"\\\u0417\u043d\u0430\u0447\u043a\u0438";
    const std::wstring name = L"\u0437\u043d\u0430\u0447\u043e\u043a.ico";
    foreign_names::createFolder(folder);
    writeIcoFile(folder + L"\\" + name);
    p.openPicker();
    OpenDialog open(p.ui);
    REQUIRE(open);
    open.enter(utf8(folder.c_str()));
    CHECK(waitUntil([&] { return open.folder() == utf8(folder.c_str()); }));
    REQUIRE(open.select(utf8(name.c_str())));
    CHECK(p.waitIcons(open, 1));

    SUBCASE("stored by its short name") {
        CHECK(open.close(IDOK));
        CHECK(waitUntil([&] { return p.page.text(IDC_ICON_PATH) != "old.dll,1"; }));
        p.sheet.apply();
        const std::string location = stored::value(stored::itemKey(1), "Icon");
        CHECK(location == p.page.text(IDC_ICON_PATH));
        const size_t comma = location.rfind(',');
        REQUIRE_MESSAGE(comma != std::string::npos, location);
        CHECK(location.substr(comma) == ",0");
        CHECK(foreign_names::longPathOf(location.substr(0, comma)) == utf8((folder + L"\\" + name).c_str()));
    }
    SUBCASE("without short names it is refused, and the dialog stays open") {
        import_patch::NoShortNames noShortNames;
        REQUIRE_MESSAGE(noShortNames.patched(), "quillon.dll imports no GetShortPathNameW");
        p.expectRefusedInDialog(open, "code page lacks");
        CHECK(p.page.tab() == "Context Menu");
    }
}

TEST_CASE("the icon list stands right of the file list, as tall, and grows with the dialog") {
    PickerPage p;
    p.openPicker();
    OpenDialog open(p.ui);
    REQUIRE(open);
    HWND panel = GetParent(open.iconList());
    auto height = [](const RECT& r) { return r.bottom - r.top; };
    RECT files = open.rectOf(GetDlgItem(open.window(), lst1));
    RECT list = open.rectOf(open.iconList());
    RECT dialog = open.rectOf(open.window());
    RECT before = open.rectOf(panel);
    CHECK(list.left >= files.right);
    CHECK(list.right <= dialog.right);
    CHECK(list.right - list.left == 132);
    CHECK(list.top == files.top);
    CHECK(height(list) == height(files));

    p.ui.run([&] {
        SetWindowPos(open.window(), nullptr, 0, 0, dialog.right - dialog.left + 100,
                     height(dialog) + 80, SWP_NOMOVE | SWP_NOZORDER);
    });
    RECT after = open.rectOf(panel);
    RECT grown = open.rectOf(open.iconList());
    files = open.rectOf(GetDlgItem(open.window(), lst1));
    CHECK(height(after) - height(before) == 80);
    CHECK(height(grown) - height(list) == 80);
    CHECK(grown.right - grown.left == 132);
    CHECK(grown.left >= files.right);
    CHECK(open.close(IDCANCEL));
}

TEST_CASE("the sheet's window destroyed while the picker is open: the picker returns, nothing hangs") {
    PickerPage p;
    p.openPicker();
    OpenDialog open(p.ui);
    REQUIRE(open);
    p.ui.run([&] { DestroyWindow(p.sheet.window()); });
    CHECK(open.waitClosed());
    CHECK(p.sheet.waitClosed());
    CHECK(waitUntil([&] { return p.ui.openDialogs() == 0; }));

    // The same thread goes on hosting pages.
    Sheet again(p.ui, p.samples.root + "\\a.txt");
    REQUIRE(again);
    Page page(again);
    CHECK(page.tree() == "Run");
}
