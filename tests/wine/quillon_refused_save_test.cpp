// The "Context Menu" page in Wine's own Properties dialog when the registry
// refuses its save: a volatile key takes no normal subkeys, so every item
// key (or even the index key) the save creates is refused.
#include <doctest/doctest.h>

#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "box_answerer.h"
#include "handler_readback.h"
#include "page_texts.h"
#include "sheet_driver.h"
#include "shell_host.h"
#include "store_checks.h"

using namespace sheet_driver;
using namespace page_texts;

namespace {

// Deletes the key with everything below it and creates it again, empty.
void recreate(const char* key, DWORD options) {
    SHDeleteKeyA(HKEY_CURRENT_USER, key);
    HKEY handle = nullptr;
    REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, options, KEY_WRITE, nullptr,
                            &handle, nullptr) == ERROR_SUCCESS);
    RegCloseKey(handle);
}

// What the page must say: the start of its text and the system's words.
std::string refusalFor(DWORD error) {
    char words[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   words, sizeof words, nullptr);
    std::string text = words;
    text.erase(text.find_last_not_of(" \r\n") + 1);
    return kNotSaved + text;
}

}  // namespace

TEST_CASE("a save the registry refuses is told, keeps the edits and the sheet, and is written later") {
    shell_host::ComScope com;
    shell_host::SampleFolder folder;
    const std::string file = folder.root + "\\a.txt";
    shell_host::clearStore();
    shell_host::putIndex("*", {{0, 0}});
    recreate(stored::kItemsKey, REG_OPTION_VOLATILE);
    DialogThread ui;
    Sheet sheet(ui, file);
    REQUIRE(sheet);
    Page page(sheet);
    REQUIRE(page);
    page.command(2);
    page.type(103, "Kept");
    const std::string before = store_checks::snapshot();
    box_answerer::BoxAnswerer boxes({ui.id()});

    // Apply, OK, and Yes to the question on Cancel: each is told why, and
    // the sheet stays open with the page's edits.
    for (int button : {PSBTN_APPLYNOW, PSBTN_OK, PSBTN_CANCEL}) {
        CAPTURE(button);
        boxes.plan(kComfirm, IDYES);
        sheet.press(button);
        std::vector<box_answerer::Box> seen = boxes.take();
        boxes.forgetPlans();
        REQUIRE(seen.size() == (button == PSBTN_CANCEL ? 2u : 1u));
        CHECK(seen.back().title == kRefused);
        CHECK(seen.back().text.rfind(refusalFor(ERROR_CHILD_MUST_BE_VOLATILE), 0) == 0);
        CHECK(seen.back().owner == sheet.window());
        CHECK(sheet.open());
        CHECK(page.tree() == "Kept,---");
        CHECK(page.tab() == "*Context Menu");
        CHECK(store_checks::snapshot() == before);
    }

    // Not even the index key can be created under a volatile store key.
    recreate("Software\\Talvex\\Korvane", REG_OPTION_VOLATILE);
    sheet.apply();
    std::vector<box_answerer::Box> seen = boxes.take();
    REQUIRE(seen.size() == 1u);
    CHECK(seen[0].text.rfind(refusalFor(ERROR_CHILD_MUST_BE_VOLATILE), 0) == 0);
    CHECK(page.tab() == "*Context Menu");
    CHECK(stored::index("*") == "<absent>");

    // The key made normal again while the page is open: Apply writes the
    // page's whole tree, and the handler's menu shows it.
    recreate("Software\\Talvex\\Korvane", REG_OPTION_NON_VOLATILE);
    sheet.apply();
    CHECK(boxes.take().empty());
    CHECK(page.tab() == "Context Menu");
    CHECK(stored::tree("*") == "Kept#1,---");
    std::string problem;
    CHECK(menu_text::outline(handler_readback::menuFor(file, problem)) == "Kept,---");
    CHECK(problem == "");
}
