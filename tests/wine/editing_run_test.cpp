// Randomized editing runs on the real page and the real handler (see
// editing_run.h). Without settings a few fixed seeds run; the environment
// picks others, for replaying a failure or for long runs:
//
//   EDIT_RUN_SEED=1234          this seed alone
//   EDIT_RUN_SEEDS=100-199      these seeds (or EDIT_RUN_SEEDS=50: seeds 1 to 50)
//   EDIT_RUN_STEPS=300          steps per seed (default 300)
//   EDIT_RUN_TRACE=1            print every step
#include <doctest/doctest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "check_printers.h"
#include "editing_run.h"
#include "resource_ids.h"

namespace {

// The seeds every test run goes through.
constexpr std::uint64_t kDefaultSeeds[] = {1, 2};

std::string environment(const char* name) {
    char value[256] = {};
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length && length < sizeof value ? std::string(value, length) : std::string();
}

bool number(const std::string& text, std::uint64_t& out) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

std::vector<std::uint64_t> chosenSeeds() {
    std::vector<std::uint64_t> seeds;
    std::uint64_t one = 0, first = 0, last = 0;
    const std::string single = environment("EDIT_RUN_SEED"), range = environment("EDIT_RUN_SEEDS");
    if (number(single, one)) return {one};
    const size_t dash = range.find('-');
    if (dash != std::string::npos && number(range.substr(0, dash), first) &&
        number(range.substr(dash + 1), last)) {
        for (std::uint64_t s = first; s <= last; ++s) seeds.push_back(s);
        return seeds;
    }
    if (number(range, last)) {
        for (std::uint64_t s = 1; s <= last; ++s) seeds.push_back(s);
        return seeds;
    }
    if (!single.empty() || !range.empty())
        FAIL("EDIT_RUN_SEED must be a number and EDIT_RUN_SEEDS a count or FIRST-LAST; got \""
             << single << "\" and \"" << range << "\"");
    return {std::begin(kDefaultSeeds), std::end(kDefaultSeeds)};
}

int chosenSteps() {
    std::uint64_t steps = 300;
    const std::string text = environment("EDIT_RUN_STEPS");
    if (!text.empty() && (!number(text, steps) || steps == 0 || steps > 100000))
        FAIL("EDIT_RUN_STEPS must be a number from 1 to 100000; got \"" << text << "\"");
    return static_cast<int>(steps);
}

}  // namespace

TEST_CASE("randomized editing runs: the store, the page and korvane's menu agree after every save") {
    const std::vector<std::uint64_t> seeds = chosenSeeds();
    editing_run::Settings settings;
    settings.steps = chosenSteps();
    settings.trace = environment("EDIT_RUN_TRACE") == "1";
    std::vector<std::uint64_t> failed;
    editing_run::Counts total;
    const DWORD start = GetTickCount();
    for (std::uint64_t seed : seeds) {
        settings.seed = seed;
        editing_run::EditingRun run(settings);
        if (!run.run()) failed.push_back(seed);
        total.steps += run.counts().steps;
        total.saves += run.counts().saves;
        total.reloads += run.counts().reloads;
        total.opens += run.counts().opens;
        total.largest = std::max(total.largest, run.counts().largest);
    }
    std::string list;
    for (std::uint64_t seed : failed) list += " " + std::to_string(seed);
    std::printf("editing runs: %u seeds, %d steps, %d saves checked, %d reloads answered, %d sheets "
                "opened, largest tree %u nodes, in %lu s; %u failed%s%s\n",
                static_cast<unsigned>(seeds.size()), total.steps, total.saves, total.reloads,
                total.opens, static_cast<unsigned>(total.largest),
                static_cast<unsigned long>((GetTickCount() - start) / 1000),
                static_cast<unsigned>(failed.size()), failed.empty() ? "" : ":", list.c_str());
    std::fflush(stdout);
}

// The runs can only find what their checks see: each broken rule of the
// store is named, and a sound store passes.
TEST_CASE("the runs' store checks name every broken rule") {
    using shell_host::putIndex;
    using shell_host::putItem;
    shell_host::clearStore();
    putItem(1, "Sub", true);
    putItem(2, "A", false);
    putItem(3, "B", false);
    putIndex("*", {{1, 0}, {2, 1}, {0, 1}, {3, 0}});
    shell_host::putMaxId(4);
    store::putFreeIds(shell_host::registryStore(), {2});
    CHECK(store_checks::violations() == std::vector<std::string>{
                                            "\"FreeIDs\" entry 0 (2): the id is in use"});

    store::putFreeIds(shell_host::registryStore(), {});
    CHECK(store_checks::violations().empty());
    CHECK(menu_text::outline(store_checks::tree("*")) == "Sub(A,---),B");

    putIndex("Directory", {{3, 0}, {5, 0}, {2, 3}});  // 3 twice, 5 above MaxID with no key, 3 no submenu
    shell_host::putMaxId(4);
    store::putFreeIds(shell_host::registryStore(), {4, 1, 1});
    const std::vector<std::string> expected = {
        "list \"Directory\" entry 0 (3/0): the id is in use twice",
        "list \"Directory\" entry 1 (5/0): above \"MaxID\" 4",
        "list \"Directory\" entry 1 (5/0): no item key \"5\"",
        "list \"Directory\" entry 2 (2/3): its parent is not a submenu open before it",
        "\"FreeIDs\" entry 0 (4): must lie between 0 and \"MaxID\" 4, both excluded",
        "\"FreeIDs\" entry 1 (1): the id is in use",
        "\"FreeIDs\" entry 2 (1): repeated or not descending after 1",
        "\"FreeIDs\" entry 2 (1): the id is in use",
    };
    CHECK(store_checks::violations() == expected);
    shell_host::clearStore();
}

// Found by the editing runs (the close box as a way to cancel). Under Wine
// one click on the title bar's close box cancels the sheet twice: on WM_CLOSE
// and on the IDCANCEL the dialog manager posts for it. Each click must ask
// once, on the page and on another tab.
TEST_CASE("one click on the close box asks once whether to save") {
    shell_host::ComScope com;
    shell_host::SampleFolder samples;
    shell_host::clearStore();
    sheet_driver::DialogThread ui;
    box_answerer::BoxAnswerer answerer({ui.id()});
    sheet_driver::Sheet sheet(ui, samples.root + "\\a.txt");
    REQUIRE(sheet);
    sheet_driver::Page page(sheet);
    REQUIRE(page);
    page.command(IDT_NEW_COMMAND);
    page.type(IDC_CAPTION, "Kept");
    REQUIRE(page.tab() == "*Context Menu");

    // Clicks the close box, answering the first question; a second one,
    // were it asked, would be answered No (the answerer's default). Says
    // what was asked.
    auto closeBox = [&](int answer) {
        answerer.plan(editing_run::kComfirm, answer);
        sheet.clickCloseBox();
        std::vector<std::string> asked;
        for (const box_answerer::Box& box : answerer.take())
            asked.push_back(box.text + " [" + box.buttons + "] " + box.pressed);
        return asked;
    };
    SUBCASE("on the page: Cancel keeps the dialog and the edit, then No closes it") {
        CHECK(closeBox(IDCANCEL) == std::vector<std::string>{"Do you want to save the changes? [Yes No Cancel] Cancel"});
        const bool closed = sheet.waitClosed(1000);
        CHECK_MESSAGE(!closed, "the user answered Cancel, yet the dialog closed and dropped the edit");
        if (!closed) {
            CHECK(page.tree() == "Kept");
            CHECK(closeBox(IDNO) == std::vector<std::string>{"Do you want to save the changes? [Yes No Cancel] No"});
            CHECK(sheet.waitClosed());
        }
    }
    SUBCASE("on the General tab: No closes it") {
        REQUIRE(sheet.showTab("General"));
        CHECK(closeBox(IDNO) == std::vector<std::string>{"Do you want to save the changes? [Yes No] No"});
        CHECK(sheet.waitClosed());
    }
    CHECK(sheet_driver::stored::index("*") == "<absent>");
}
