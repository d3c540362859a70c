// One randomized editing run: for a seed, a few hundred steps of a user on
// the real "Context Menu" page of quillon.dll in Wine's own Properties
// dialog: toolbar commands, selecting, typing, the action menu's commands,
// Apply, OK, Cancel with each answer, closing and reopening, and a second
// sheet on another thread that saves, so that the first is offered the
// reload. There is no model of the tree: after every save the store must
// hold the tree the page shows (read back node by node), korvane.dll's menu
// must show it, and the store must keep its invariants; a page that opens
// or reloads must show the store; closing without saving must write
// nothing.
//
// The run stops at its first failing check and says which seed and step
// failed, the steps before it, and how to replay it.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <doctest/doctest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "box_answerer.h"
#include "handler_readback.h"
#include "menu_text.h"
#include "page_readback.h"
#include "page_texts.h"
#include "resource_ids.h"
#include "run_random.h"
#include "sheet_driver.h"
#include "shell_host.h"
#include "store_checks.h"

namespace editing_run {

using box_answerer::Box;
using menu_text::Menu;
using run_random::Random;
using namespace page_texts;

const char kPageTitle[] = "Context Menu";
// What the handler shows of an item.
constexpr unsigned kHandlerParts = menu_text::kShape | menu_text::kCaption | menu_text::kPrompt;
// The action menu's commands that need no dialog: window states 0 to 3,
// the arguments "%1" and "%0", the working directory "%0", and the
// command's settings, which leave the action as it is.
const std::vector<int> kActionCommands = {
    IDM_ACTION_NORMAL,       IDM_ACTION_MINIMIZED,   IDM_ACTION_MAXIMIZED,
    IDM_ACTION_HIDDEN,       IDM_ACTION_CONTEXT_PATH, IDM_ACTION_PARENT_PATH,
    IDM_ACTION_PARENT_AS_WORKING_FOLDER, IDM_ACTION_EACH_SEPARATELY, IDM_ACTION_ALL_AT_ONCE,
    IDM_ACTION_RUN_AS_ADMINISTRATOR};

// What a run went through, for the summary of many runs.
struct Counts {
    int steps = 0;
    int saves = 0;         // saves checked against the store and the handler
    int reloads = 0;       // reload questions answered
    int opens = 0;         // sheets opened, each checked against the store
    size_t largest = 0;    // nodes of the largest tree saved
};

struct Settings {
    std::uint64_t seed = 1;
    int steps = 300;
    bool trace = false;  // print every step as it runs
};

class EditingRun {
public:
    explicit EditingRun(const Settings& settings)
        : settings_(settings), random_(settings.seed * 0x2545F4914F6CDD1Dull + 1) {}

    const Counts& counts() const { return counts_; }

    // True when every check held.
    bool run() {
        shell_host::clearStore();
        answerer_ = std::make_unique<box_answerer::BoxAnswerer>(
            std::vector<DWORD>{threads_[0].id(), threads_[1].id()});
        slots_[0].file = samples_.file("a.txt");
        step_ = 0;
        describe("open the first sheet");
        // Checks the sheet driver makes itself also say where the run was.
        INFO("editing run seed " << settings_.seed << ", " << current_);
        open(0, slots_[0].file);
        for (step_ = 1; step_ <= settings_.steps && !failed_; ++step_, ++counts_.steps) oneStep();
        if (!failed_) {
            step_ = settings_.steps + 1;
            describe("close every sheet, applying");
            for (int s = 1; s >= 0 && !failed_; --s)
                if (slots_[s].page) okClose(s);
        }
        for (int s = 1; s >= 0; --s) forget(s);
        answerer_.reset();
        return !failed_;
    }

private:
    struct Slot {
        std::string file;
        std::unique_ptr<sheet_driver::Sheet> sheet;
        std::unique_ptr<sheet_driver::Page> page;
        bool otherTab = false;      // the "General" tab is shown
        bool reloadOffered = false; // another page saved since this one last took the store in
    };

    struct Samples {
        shell_host::SampleFolder folder;
        std::string file(const char* name) const { return folder.root + "\\" + name; }
    };

    // ---- reporting --------------------------------------------------------

    void describe(const std::string& what) {
        current_ = "step " + std::to_string(step_) + ": " + what;
        recent_.push_back(current_);
        if (recent_.size() > 14) recent_.pop_front();
        if (settings_.trace)
            std::printf("seed %llu at %5lu ms, %s\n", static_cast<unsigned long long>(settings_.seed),
                        static_cast<unsigned long>(GetTickCount() - started_), current_.c_str());
    }

    // Fails the run with what was expected and what was found.
    void fail(const std::string& check, const std::string& details) {
        if (failed_) return;
        failed_ = true;
        std::string steps;
        for (const std::string& s : recent_) steps += "    " + s + "\n";
        const std::string message =
            "editing run seed " + std::to_string(settings_.seed) + " failed at " + current_ + "\n" +
            "  check: " + check + "\n" + details +
            (details.empty() || details.back() == '\n' ? "" : "\n") + "  the last steps:\n" + steps +
            "  replay: EDIT_RUN_SEED=" + std::to_string(settings_.seed) + " EDIT_RUN_STEPS=" +
            std::to_string(step_) + " ctest --test-dir build/<arch> -R editing_run_test --output-on-failure";
        FAIL_CHECK(message);
    }

    bool expect(bool holds, const std::string& check, const std::string& expected,
                const std::string& actual) {
        if (!holds) fail(check, "  expected: " + expected + "\n  actual:   " + actual);
        return holds;
    }

    static std::string listBoxes(const std::vector<Box>& boxes) {
        if (boxes.empty()) return "no message box";
        std::string out;
        for (const Box& b : boxes)
            out += (out.empty() ? "" : "; then ") + std::string("\"") + b.title + "\": \"" + b.text +
                   "\" [" + b.buttons + "], pressed " + b.pressed;
        return out;
    }

    // The boxes of the step must be exactly one with this title and text,
    // or none when `title` is empty; a refusal to save is let through and
    // reported back.
    bool expectBoxes(const std::string& title, const std::string& text, const std::string& buttons,
                     bool* refused = nullptr) {
        std::vector<Box> boxes = answerer_->take();
        if (settings_.trace && !boxes.empty()) std::printf("    asked: %s\n", listBoxes(boxes).c_str());
        if (refused) {
            *refused = !boxes.empty() && boxes.back().title == kRefused;
            if (*refused) {
                if (!expect(!boxes.back().text.empty(), "a refused save says why", "a reason",
                            "an empty message"))
                    return false;
                boxes.pop_back();
            }
        }
        const std::string want = title.empty() ? "no message box"
                                               : "\"" + title + "\": \"" + text + "\" [" + buttons + "]";
        const bool holds = title.empty() ? boxes.empty()
                                         : boxes.size() == 1 && boxes[0].title == title &&
                                               boxes[0].text == text && boxes[0].buttons == buttons;
        return expect(holds, "the step asks what it must ask, once", want, listBoxes(boxes));
    }

    // ---- what the page and the store show ------------------------------------

    Menu readPage(int s) {
        std::string problem;
        Menu menu = page_readback::read(*slots_[s].page, problem);
        if (!problem.empty()) fail("the page agrees with itself", problem);
        return menu;
    }

    std::string tab(int s) { return slots_[s].page->tab(); }
    bool modified(int s) { return tab(s) == std::string("*") + kPageTitle; }

    // After a save from the tree `shown`: the store holds it, the handler's
    // menu shows it, and the store keeps its invariants.
    void checkSaved(const Menu& shown, const char* how) {
        ++counts_.saves;
        counts_.largest = std::max(counts_.largest, shown.size());
        const std::string stored = menu_text::difference(shown, store_checks::tree("*"), menu_text::kEverything);
        if (!stored.empty()) {
            fail(std::string("after ") + how + ", the store's list \"*\" holds the tree the page shows "
                 "(expected: the page; actual: the store)", stored);
            return;
        }
        std::string problem;
        const Menu handler = handler_readback::menuFor(samples_.file("a.txt"), problem);
        if (!expect(problem.empty(), "korvane.dll builds its menu for a file", "no problem", problem)) return;
        const std::string menu = menu_text::difference(shown, handler, kHandlerParts);
        if (!menu.empty()) {
            fail(std::string("after ") + how + ", korvane's menu for a file shows the saved tree "
                 "(expected: the page; actual: the menu)", menu);
            return;
        }
        checkInvariants();
    }

    void checkInvariants() {
        std::string broken;
        for (const std::string& v : store_checks::violations()) broken += "    " + v + "\n";
        if (!broken.empty()) fail("the store keeps its invariants", "  broken:\n" + broken);
    }

    void checkShowsStore(int s, const char* when) {
        const std::string d = menu_text::difference(store_checks::tree("*"), readPage(s), menu_text::kEverything);
        if (!d.empty())
            fail(std::string("a page ") + when + " shows the store (expected: the store; actual: the page)", d);
    }

    void checkUnwritten(const std::string& before, const char* how) {
        const std::string after = store_checks::snapshot();
        if (after == before) return;
        size_t a = 0, line = 1;
        while (a < before.size() && a < after.size() && before[a] == after[a]) line += before[a++] == '\n';
        auto lineAt = [&](const std::string& text) {
            size_t start = text.rfind('\n', a ? a - 1 : 0);
            start = start == std::string::npos || a == 0 ? 0 : start + 1;
            return menu_text::shown(text.substr(start, text.find('\n', start) - start));
        };
        fail(std::string(how) + " writes nothing to the store",
             "  first changed line " + std::to_string(line) + ":\n    expected: " + lineAt(before) +
                 "\n    actual:   " + lineAt(after));
    }

    // ---- sheets -----------------------------------------------------------

    void open(int s, const std::string& file) {
        Slot& slot = slots_[s];
        slot.file = file;
        slot.sheet = std::make_unique<sheet_driver::Sheet>(threads_[s], file);
        if (!*slot.sheet) return fail("the Properties dialog opens", "");
        slot.page = std::make_unique<sheet_driver::Page>(*slot.sheet);
        if (!*slot.page) return fail("the sheet has its \"Context Menu\" page", "");
        slot.otherTab = false;
        slot.reloadOffered = false;
        ++counts_.opens;
        if (!expectBoxes("", "", "")) return;
        expect(tab(s) == kPageTitle, "a page that opens is unmodified", kPageTitle, tab(s));
        checkShowsStore(s, "that opens");
    }

    void forget(int s) {
        slots_[s].page.reset();
        slots_[s].sheet.reset();
    }

    void closed(int s, const char* how) {
        if (!slots_[s].sheet->waitClosed()) return fail(std::string(how) + " closes the sheet", "");
        forget(s);
    }

    void saved(int s) {
        for (int other = 0; other < 2; ++other)
            slots_[other].reloadOffered = other != s && slots_[other].page;
    }

    // The user clicks the page's tab (from "General") or looks at "General"
    // and back: the page is activated, and asks to reload after another
    // page's save.
    void activate(int s) {
        Slot& slot = slots_[s];
        const bool offered = slot.reloadOffered;
        const bool yes = random_.percent(50);
        answerer_->plan(kConfirm, yes ? IDYES : IDNO);
        const bool wasModified = modified(s);
        if (!slot.otherTab) slot.sheet->showTab("General");
        slot.sheet->showTab(kPageTitle);
        slot.otherTab = false;
        slot.reloadOffered = false;
        if (!offered) {
            expectBoxes("", "", "");
            return;
        }
        if (!expectBoxes(kConfirm, kReloadQuestion, "Yes No")) return;
        reloadAnswered(s, yes, wasModified);
    }

    void reloadAnswered(int s, bool yes, bool wasModified) {
        ++counts_.reloads;
        slots_[s].reloadOffered = false;
        if (yes) {
            expect(tab(s) == kPageTitle, "a reloaded page is unmodified", kPageTitle, tab(s));
            checkShowsStore(s, "that reloads");
        } else {
            expect(modified(s), "declining the reload marks the page modified",
                   std::string("*") + kPageTitle, tab(s) + (wasModified ? " (it was modified before)" : ""));
        }
    }

    void apply(int s) {
        const bool wasModified = modified(s);
        const std::string before = store_checks::snapshot();
        // After Apply the sheet activates its current page again: an
        // unmodified page that is shown then asks to reload another page's
        // save, as on any activation.
        const bool offered = !wasModified && !slots_[s].otherTab && slots_[s].reloadOffered;
        const bool yes = random_.percent(50);
        answerer_->plan(kRefused, IDOK);
        answerer_->plan(kConfirm, yes ? IDYES : IDNO);
        slots_[s].sheet->apply();
        bool refused = false;
        if (!expectBoxes(offered ? kConfirm : "", offered ? kReloadQuestion : "", offered ? "Yes No" : "",
                         &refused))
            return;
        if (refused || !wasModified) {
            checkUnwritten(before, refused ? "a refused Apply" : "Apply on an unmodified page");
            if (offered) reloadAnswered(s, yes, false);
            return;
        }
        expect(tab(s) == kPageTitle, "Apply clears the modified marker", kPageTitle, tab(s));
        saved(s);
        checkSaved(readPage(s), "Apply");
    }

    void okClose(int s) {
        const bool wasModified = modified(s);
        const Menu shown = readPage(s);
        const std::string before = store_checks::snapshot();
        answerer_->plan(kRefused, IDOK);
        slots_[s].sheet->press(PSBTN_OK);
        bool refused = false;
        if (!expectBoxes("", "", "", &refused)) return;
        if (refused) {
            expect(slots_[s].sheet->open(), "a refused save keeps the sheet open", "open", "closed");
            return checkUnwritten(before, "a refused OK");
        }
        closed(s, "OK");
        if (failed_) return;
        if (!wasModified) return checkUnwritten(before, "OK on an unmodified page");
        saved(s);
        checkSaved(shown, "OK");
    }

    // Cancel by its button, the Escape key or the title bar's close box,
    // answering "Do you want to save the changes?": Yes, No or (on the page
    // itself) Cancel.
    void cancel(int s) {
        Slot& slot = slots_[s];
        const unsigned way = random_.below(3);
        static const char* ways[] = {"Cancel", "Escape", "the close box"};
        describe(where(s) + ways[way] + (slot.otherTab ? " from the General tab" : ""));
        const bool wasModified = modified(s);
        const Menu shown = readPage(s);
        const std::string before = store_checks::snapshot();
        const int answer = slot.otherTab ? random_.pick(std::vector<int>{IDYES, IDNO})
                                         : random_.pick(std::vector<int>{IDYES, IDNO, IDCANCEL});
        answerer_->plan(kComfirm, answer);
        answerer_->plan(kRefused, IDOK);
        if (way == 0) slot.sheet->press(PSBTN_CANCEL);
        if (way == 1) slot.sheet->pressEscape();
        if (way == 2) slot.sheet->clickCloseBox();
        bool refused = false;
        if (wasModified) {
            if (!expectBoxes(kComfirm, kSaveQuestion, slot.otherTab ? "Yes No" : "Yes No Cancel", &refused))
                return;
        } else if (!expectBoxes("", "", "")) {
            return;
        }
        if (answer == IDCANCEL && wasModified) {
            expect(slot.sheet->open(), "answering Cancel keeps the sheet open", "open", "closed");
            expect(modified(s), "answering Cancel keeps the page modified", std::string("*") + kPageTitle, tab(s));
            return checkUnwritten(before, "answering Cancel");
        }
        if (refused) {
            if (slot.sheet->open()) return checkUnwritten(before, "a refused save on Cancel");
        }
        closed(s, "Cancel");
        if (failed_) return;
        if (!wasModified || answer == IDNO || refused)
            return checkUnwritten(before, wasModified ? "answering No" : "Cancel on an unmodified page");
        saved(s);
        checkSaved(shown, "Yes to the question on Cancel");
    }

    // ---- steps on the page ------------------------------------------------

    struct TreeFacts {
        std::vector<HTREEITEM> nodes;
        std::vector<std::string> texts;
        bool selected = false;
        bool itemFields = false, actionFields = false;
    };

    TreeFacts facts(int s) {
        TreeFacts f;
        sheet_driver::Page& page = *slots_[s].page;
        page.thread().run([&] {
            HWND tree = GetDlgItem(page.window(), page_readback::kTree);
            for (const auto& [item, depth] : page_readback::preorder(tree)) {
                f.nodes.push_back(item);
                f.texts.push_back(std::to_string(depth) + " " + sheet_driver::treeItemText(tree, item));
            }
            f.selected = sheet_driver::treeNext(tree, nullptr, TVGN_CARET) != nullptr;
            f.itemFields = IsWindowEnabled(GetDlgItem(page.window(), page_readback::kCaption)) != 0;
            f.actionFields = IsWindowEnabled(GetDlgItem(page.window(), page_readback::kAction)) != 0;
        });
        return f;
    }

    static std::string sortedTexts(std::vector<std::string> texts) {
        for (std::string& t : texts) t = t.substr(t.find(' ') + 1);
        std::sort(texts.begin(), texts.end());
        std::string out;
        for (const std::string& t : texts) out += menu_text::shown(t) + " ";
        return out;
    }

    void expectModified(int s, const char* by) {
        expect(modified(s), std::string(by) + " marks the page modified", std::string("*") + kPageTitle, tab(s));
    }

    void newNode(int s) {
        const int command = random_.between(1, 3);
        static const char* names[] = {"", "new submenu", "new command", "new separator"};
        describe(where(s) + names[command]);
        const size_t before = facts(s).nodes.size();
        slots_[s].page->command(command);
        if (!expectBoxes("", "", "")) return;
        const TreeFacts after = facts(s);
        expect(after.nodes.size() == before + 1, "a new node adds one node",
               std::to_string(before + 1) + " nodes", std::to_string(after.nodes.size()));
        expectModified(s, names[command]);
    }

    void select(int s, const TreeFacts& f) {
        const unsigned index = random_.below(static_cast<unsigned>(f.nodes.size()));
        describe(where(s) + "select node " + std::to_string(index + 1) + " " + menu_text::shown(f.texts[index]));
        HTREEITEM item = f.nodes[index];
        slots_[s].page->thread().run([&] {
            page_readback::selectNode(GetDlgItem(slots_[s].page->window(), page_readback::kTree), item);
        });
        expectBoxes("", "", "");
    }

    void type(int s, const TreeFacts& f) {
        std::vector<int> fields;
        if (f.itemFields) fields = {page_readback::kCaption, page_readback::kPrompt, page_readback::kIcon};
        if (f.actionFields) fields.push_back(page_readback::kAction);
        const int field = random_.pick(fields);
        const unsigned size = field == page_readback::kCaption || field == page_readback::kPrompt ? 64
                              : field == page_readback::kIcon                                   ? 260
                                                                                                : 2048;
        std::string text = field == page_readback::kAction && random_.percent(60)
                               ? run_random::actionText(random_)
                               : run_random::fieldText(random_, size);
        const unsigned how = random_.below(10);  // 0-5 over the whole text, 6-8 key by key, 9 emptied
        if (how >= 6 && how <= 8 && text.size() > 12) text.resize(12);
        if (how == 9) text.clear();
        describe(where(s) + "type into " + std::to_string(field) +
                 (how < 6 ? " over its text " : how < 9 ? " key by key " : " emptying it ") +
                 menu_text::shown(text));
        sheet_driver::Page& page = *slots_[s].page;
        if (how < 6) {
            page.type(field, text);
        } else if (how < 9) {
            page.type(field, text, true);
        } else {
            page.thread().run([&] {
                HWND edit = GetDlgItem(page.window(), field);
                SetFocus(edit);
                SendMessageA(edit, EM_SETSEL, 0, -1);
                SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(""));
            });
        }
        expectBoxes("", "", "");
    }

    void remove(int s) {
        const bool yes = random_.percent(60);
        describe(where(s) + "delete, answering " + (yes ? "Yes" : "No"));
        const TreeFacts before = facts(s);
        answerer_->plan(kConfirm, yes ? IDYES : IDNO);
        slots_[s].page->command(IDT_DELETE);
        if (!expectBoxes(kConfirm, kDeleteQuestion, "Yes No")) return;
        const TreeFacts after = facts(s);
        if (yes) {
            expect(after.nodes.size() < before.nodes.size(), "Yes deletes the node",
                   "fewer than " + std::to_string(before.nodes.size()) + " nodes",
                   std::to_string(after.nodes.size()));
            expectModified(s, "a delete");
        } else {
            expect(after.texts == before.texts, "No keeps the tree", sortedTexts(before.texts),
                   sortedTexts(after.texts));
        }
    }

    void move(int s, const std::vector<int>& enabled) {
        const int command = random_.pick(enabled);
        static const char* names[] = {"", "", "", "", "", "move up", "move down", "move out", "move in"};
        describe(where(s) + names[command]);
        const TreeFacts before = facts(s);
        slots_[s].page->command(command);
        if (!expectBoxes("", "", "")) return;
        const TreeFacts after = facts(s);
        expect(sortedTexts(after.texts) == sortedTexts(before.texts), "a move keeps every node",
               sortedTexts(before.texts), sortedTexts(after.texts));
        expectModified(s, names[command]);
    }

    // An action-menu choice arrives as WM_COMMAND with its id, the focus
    // on the menu's button as after a click; the action field must then
    // show what the item holds.
    void actionCommand(int s) {
        const int id = random_.pick(kActionCommands);
        describe(where(s) + "action menu command " + std::to_string(id));
        sheet_driver::Page& page = *slots_[s].page;
        std::string before, shown, held;
        answerer_->plan(kRefused, IDOK);
        page.thread().run([&] {
            HWND window = page.window();
            HWND tree = GetDlgItem(window, page_readback::kTree);
            HTREEITEM caret = sheet_driver::treeNext(tree, nullptr, TVGN_CARET);
            // The user clicks the node first, so that the field shows the
            // item's action and not text typed past its size.
            page_readback::selectNode(tree, nullptr);
            page_readback::selectNode(tree, caret);
            before = page_readback::editText(window, page_readback::kAction);
            SetFocus(GetDlgItem(window, IDC_ACTION_MENU));
            SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
            shown = page_readback::editText(window, page_readback::kAction);
            page_readback::selectNode(tree, nullptr);
            page_readback::selectNode(tree, caret);
            held = page_readback::editText(window, page_readback::kAction);
        });
        if (settings_.trace)
            std::printf("    action %s -> %s\n", menu_text::shown(before).c_str(), menu_text::shown(shown).c_str());
        // A result too long for the field may be refused, with a word why.
        bool refused = false;
        if (!expectBoxes("", "", "", &refused)) return;
        if (refused && !expect(shown == before, "a refused action-menu command leaves the action as it was",
                               menu_text::shown(before), menu_text::shown(shown)))
            return;
        expect(shown == held, "after an action-menu command the action field shows the item's action",
               menu_text::shown(held) + " (shown after selecting the node again)", menu_text::shown(shown));
    }

    static std::string where(int s) { return "sheet " + std::to_string(s + 1) + ": "; }

    std::vector<int> enabledMoves(int s) {
        const std::string states = slots_[s].page->toolbarStates();
        std::vector<int> moves;
        for (int id = 5; id <= 8; ++id)
            if (states[id - 1] == 'E') moves.push_back(id);
        return moves;
    }

    void oneStep() {
        answerer_->forgetPlans();
        // Reopen a closed first sheet before anything else.
        if (!slots_[0].page) {
            const bool other = random_.percent(30);
            describe(std::string("open the first sheet again") + (other ? " on b.txt" : ""));
            return open(0, samples_.file(other ? "b.txt" : "a.txt"));
        }
        const int s = slots_[1].page && random_.percent(40) ? 1 : 0;
        const unsigned roll = random_.below(100);
        // The second sheet comes often and stays a while, so that saves on
        // either side meet the other page's reload question.
        if (!slots_[1].page && random_.percent(5)) {
            const bool same = random_.percent(50);
            describe(std::string("open a second sheet on another thread, on ") + (same ? "a.txt" : "b.txt"));
            return open(1, samples_.file(same ? "a.txt" : "b.txt"));
        }
        if (roll < 2 && slots_[1].page) {
            if (random_.percent(50)) return cancel(1);
            describe("sheet 2: OK");
            return okClose(1);
        }
        if (roll < 9) {
            describe(where(s) + "Apply");
            return apply(s);
        }
        if (roll < 10) {
            describe(where(s) + "OK");
            return okClose(s);
        }
        if (roll < 13) return cancel(s);
        if (roll < 15) {
            describe(where(s) + "show the General tab");
            slots_[s].sheet->showTab("General");
            slots_[s].otherTab = true;
            return void(expectBoxes("", "", ""));
        }
        if (roll < 19) {
            describe(where(s) + (slots_[s].otherTab ? "back to the page" : "look at General and back") +
                     (slots_[s].reloadOffered ? ", the reload due" : ""));
            return activate(s);
        }
        if (slots_[s].otherTab) {
            describe(where(s) + "back to the page" + (slots_[s].reloadOffered ? ", the reload due" : ""));
            activate(s);
            if (failed_) return;
        }
        const TreeFacts f = facts(s);
        if (roll < 21) {
            // Now and then many new nodes in a row, for larger and deeper trees.
            const unsigned count = random_.between(5, 25);
            for (unsigned i = 0; i < count && !failed_; ++i) newNode(s);
            return;
        }
        if (roll < 36 || f.nodes.empty()) return newNode(s);
        if (roll < 52 || !f.selected) return select(s, f);
        if (roll < 72) {
            if (f.itemFields) return type(s, f);
            return select(s, f);
        }
        if (roll < 79) return remove(s);
        if (roll < 92) {
            const std::vector<int> moves = enabledMoves(s);
            if (!moves.empty()) return move(s, moves);
            return select(s, f);
        }
        if (f.actionFields) return actionCommand(s);
        return newNode(s);
    }

    Settings settings_;
    Random random_;
    shell_host::ComScope com_;
    Samples samples_;
    sheet_driver::DialogThread threads_[2];
    std::unique_ptr<box_answerer::BoxAnswerer> answerer_;
    Slot slots_[2];
    int step_ = 0;
    bool failed_ = false;
    std::string current_;
    std::deque<std::string> recent_;
    Counts counts_;
    DWORD started_ = GetTickCount();
};

}  // namespace editing_run
