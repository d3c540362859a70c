#include "page_controller.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "menu_store.h"
#include "modified_marker.h"
#include "save_bookkeeping.h"
#include "tree_model.h"
#include "tree_moves.h"

namespace editor {

// "Comfirm" is the title as the page has always shown it: kept as it
// stands, since users and tools that answer the box find it by that title.
QuestionText questionText(Question question) {
    switch (question) {
        case Question::Delete:
            return {"Are you sure you want to delete the item?", "Confirm - Quillon", false};
        case Question::Reload:
            return {"Data is modified by another instance. Do you want to reload it?",
                    "Confirm - Quillon", false};
        case Question::SaveOnCancel:
            return {"Do you want to save the changes?", "Comfirm", true};
        case Question::SaveOnClose:
            break;
    }
    return {"Do you want to save the changes?", "Comfirm", false};
}

namespace {

struct RefusalWords {
    const char* reason;
    const char* advice;  // while the page keeps the edits
};

RefusalWords refusalWords(SaveResult result) {
    switch (result) {
        case SaveResult::NoIdLeft:
            return {"The menu was not saved: it holds more items than the store can number (item "
                    "numbers end at 999).",
                    "Delete some items and apply again; nothing you built has been lost."};
        case SaveResult::TooManyEntries:
            return {"The menu was not saved: a menu can hold at most 1024 entries, separators "
                    "included.",
                    "Delete some entries and apply again; nothing you built has been lost."};
        case SaveResult::StoreBusy:
            return {"The menu was not saved: another editor kept the menu store busy for too long.",
                    "Apply again in a moment; nothing you built has been lost."};
        case SaveResult::Saved:
        case SaveResult::StoreRefused:
        case SaveResult::OutOfMemory:
            break;
    }
    return {"The menu was not saved: the system ran out of memory.",
            "Close some programs and apply again; nothing you built has been lost."};
}

// Where the sheet closes whatever the save did, the edits go with it.
constexpr char kChangesLost[] = "The dialog is closing, so the changes made on this page are lost.";

}  // namespace

void saveRefusalText(SaveResult result, bool closing, char* text, std::size_t size) {
    if (size == 0) return;
    RefusalWords words = refusalWords(result);
    std::snprintf(text, size, "%s %s", words.reason, closing ? kChangesLost : words.advice);
}

void storeRefusalText(std::uint32_t error, const char* systemText, bool closing, char* text,
                      std::size_t size) {
    if (size == 0) return;
    std::size_t length = systemText ? std::strlen(systemText) : 0;
    while (length > 0 && std::isspace(static_cast<unsigned char>(systemText[length - 1]))) --length;
    char code[32];
    if (length == 0) {
        std::snprintf(code, sizeof code, "error %lu.", static_cast<unsigned long>(error));
        systemText = code;
        length = std::strlen(code);
    }
    std::snprintf(text, size, "The menu could not be saved: %.*s\n\n%s", static_cast<int>(length),
                  systemText,
                  closing ? kChangesLost
                          : "Apply again once the registry accepts changes; nothing you built has "
                            "been lost.");
}

void PageController::initialize() noexcept {
    load(page_, keys_);
    page_.state.modified = 0;
    page_.state.generationSeen = saveCount(page_.state.contextKind);
}

void PageController::destroy() noexcept { clear(page_); }

void PageController::command(int id) noexcept {
    switch (id) {
        case kCommandNewSubmenu:
        case kCommandNewCommand:
        case kCommandNewSeparator:
            if (newNode(page_, id) && id != kCommandNewSeparator) fields_.focusCaption();
            break;
        case kCommandDelete:
            if (page_.tree.selected() && dialogs_.ask(Question::Delete) == Answer::Yes)
                deleteSelected(page_);
            break;
        case kCommandMoveUp:
        case kCommandMoveDown:
        case kCommandMoveOut:
        case kCommandMoveIn:
            moveSelected(page_, id);
            break;
        default:
            break;
    }
}

void PageController::fieldEdited(Field field, const char* text) noexcept {
    TreeNode node = page_.tree.selected();
    ItemRecord* record = recordOf(page_.tree, node);
    if (!record) return;  // a separator or nothing: the fields are disabled
    if (field == Field::ShowFor) {
        setShowFor(text);
        return;
    }
    markModified(page_);
    switch (field) {
        case Field::Caption:
            store::copyField(record->caption, sizeof record->caption, text);
            page_.tree.setText(node, record->caption);
            break;
        case Field::Prompt:
            store::copyField(record->prompt, sizeof record->prompt, text);
            break;
        case Field::Icon:
            store::copyField(record->icon, sizeof record->icon, text);
            break;
        case Field::Action:
            store::copyField(record->action, sizeof record->action, text);
            record->actionCut = false;
            break;
        case Field::ShowFor:
            break;
    }
}

namespace {

// The selected node's record when it is a command, the only kind with an
// action.
ItemRecord* selectedCommand(Page& page, TreeNode& node) {
    node = page.tree.selected();
    ItemRecord* record = recordOf(page.tree, node);
    return record && !record->isSubmenu ? record : nullptr;
}

}  // namespace

bool PageController::setShowFor(const char* text) noexcept {
    ItemRecord* record = recordOf(page_.tree, page_.tree.selected());
    if (!record) return false;
    char patterns[sizeof record->showFor];
    store::copyField(patterns, sizeof patterns, text);
    if (std::strcmp(patterns, record->showFor) == 0) return true;
    std::memcpy(record->showFor, patterns, sizeof patterns);
    markModified(page_);
    return true;
}

bool PageController::setSelection(std::uint32_t selection) noexcept {
    TreeNode node = nullptr;
    ItemRecord* record = selectedCommand(page_, node);
    if (!record || selection > store::kSelectionAllAtOnce) return false;
    if (record->selection == selection) return true;
    record->selection = selection;
    markModified(page_);
    return true;
}

bool PageController::setRunAs(bool elevated) noexcept {
    TreeNode node = nullptr;
    ItemRecord* record = selectedCommand(page_, node);
    if (!record) return false;
    const std::uint32_t runAs = elevated ? store::kRunAsElevated : 0;
    if (record->runAs == runAs) return true;
    record->runAs = runAs;
    markModified(page_);
    return true;
}

const char* PageController::showFor() noexcept {
    const ItemRecord* record = recordOf(page_.tree, page_.tree.selected());
    return record ? record->showFor : "";
}

std::uint32_t PageController::selection() noexcept {
    TreeNode node = nullptr;
    const ItemRecord* record = selectedCommand(page_, node);
    return record ? record->selection : store::kSelectionFirstOnly;
}

bool PageController::runAs() noexcept {
    TreeNode node = nullptr;
    const ItemRecord* record = selectedCommand(page_, node);
    return record && record->runAs == store::kRunAsElevated;
}

static_assert(kSettingEachSeparately - kSettingFirstOnly == store::kSelectionEachInTurn &&
                  kSettingAllAtOnce - kSettingFirstOnly == store::kSelectionAllAtOnce,
              "the Several Selected items follow the stored Selection numbers");

void PageController::settingCommand(int id) noexcept {
    if (id == kSettingRunAsAdministrator)
        setRunAs(!runAs());
    else if (isSettingCommand(id))
        setSelection(static_cast<std::uint32_t>(id - kSettingFirstOnly));
}

int PageController::selectionCommand() noexcept {
    return kSettingFirstOnly + static_cast<int>(selection());
}

bool PageController::takePick(Pickers& pickers, Pick what, char* path, std::size_t size) noexcept {
    switch (pickers.pick(what, path, size)) {
        case PickOutcome::Chosen:
            return path[0] != '\0';
        case PickOutcome::NotStorable:
            dialogs_.explainRefusal(kPathNotStorableText);
            break;
        case PickOutcome::Cancelled:
            break;
    }
    return false;
}

void PageController::actionCommand(int id, Pickers& pickers) noexcept {
    TreeNode node = nullptr;
    if (!isActionCommand(id) || !selectedCommand(page_, node)) return;
    char picked[store::kPathSize] = "";
    Pick what = pickFor(id);
    if (what != Pick::Nothing && !takePick(pickers, what, picked, sizeof picked)) return;
    if (what == Pick::WorkingFolder && !readsBackAsDirectory(picked)) {
        dialogs_.explainRefusal(kFolderNotReadableText);
        return;
    }
    // The dialog ran a message loop: take the record again, and only if the
    // user's command is still the one selected.
    TreeNode now = nullptr;
    ItemRecord* record = selectedCommand(page_, now);
    if (!record || now != node) return;
    if (!applyActionCommand(record->action, id, picked)) {
        dialogs_.explainRefusal(kActionTooLongText);
        return;
    }
    record->actionCut = false;
    fields_.showAction(record->action);
    markModified(page_);
}

void PageController::pickIcon(Pickers& pickers) noexcept {
    TreeNode node = page_.tree.selected();
    if (!recordOf(page_.tree, node)) return;
    char location[store::kIconSize] = "";
    if (!takePick(pickers, Pick::Icon, location, sizeof location)) return;
    if (page_.tree.selected() != node || !recordOf(page_.tree, node)) return;
    fields_.enterIcon(location);
}

void PageController::nodeDeleted(TreeNode node, ItemRecord* record) noexcept {
    onNodeDeleted(page_, node, record);
}

void PageController::selectionChanged(TreeNode node) noexcept {
    if (!onSelectionChanged(page_, node)) return;
    const ItemRecord* record = recordOf(page_.tree, node);
    // A submenu has no action; a separator has no fields at all.
    fields_.enableFields(record != nullptr, record && !record->isSubmenu);
    if (record)
        fields_.showTexts(record->caption, record->prompt, record->icon, record->action,
                          record->showFor);
    else
        fields_.showTexts("", "", "", "", "");
}

bool PageController::reloadCheck() noexcept {
    if (!reloadWanted(page_.state)) return false;
    if (dialogs_.ask(Question::Reload) == Answer::Yes) {
        reload();
    } else {
        // Applying this page then writes its tree over the other save,
        // optional values and all.
        page_.state.othersSaved = 1;
        markModified(page_);
    }
    page_.state.generationSeen = saveCount(page_.state.contextKind);
    return true;
}

void PageController::reload() noexcept {
    clear(page_);
    showNoSelection(page_);
    load(page_, keys_);
    clearModified(page_);
}

bool PageController::apply() noexcept {
    cancelAnswered_ = false;
    return save(false);
}

bool PageController::save(bool closing) noexcept {
    if (!page_.state.modified) return true;
    SaveResult result = saveTree(page_, keys_, lock_);
    if (result == SaveResult::Saved) return true;
    char text[kStoreRefusalSize];
    if (result != SaveResult::StoreRefused) {
        saveRefusalText(result, closing, text, sizeof text);
        dialogs_.explainRefusal(text);
        return false;
    }
    std::uint32_t error = keys_.lastError();
    char systemText[kStoreRefusalSize] = "";
    dialogs_.describeError(error, systemText, sizeof systemText);
    systemText[sizeof systemText - 1] = '\0';
    storeRefusalText(error, systemText, closing, text, sizeof text);
    dialogs_.explainRefusal(text);
    return false;
}

bool PageController::queryCancel() noexcept {
    cancelAnswered_ = false;
    if (!page_.state.modified) return false;
    switch (dialogs_.ask(Question::SaveOnCancel)) {
        case Answer::Yes:
            if (!apply()) return true;  // refused: keep the sheet open with the edits
            break;
        case Answer::No:
            break;
        case Answer::Cancel:
            return true;
    }
    cancelAnswered_ = true;
    return false;
}

void PageController::reset() noexcept {
    bool answered = cancelAnswered_;
    cancelAnswered_ = false;
    if (answered || !page_.state.modified) return;
    if (dialogs_.ask(Question::SaveOnClose) == Answer::Yes) save(true);
}

}  // namespace editor
