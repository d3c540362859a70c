// The editor page's behaviour, message by message, as plain logic: what the
// page does on its toolbar commands, field edits, tree notifications, the
// reload check and the property sheet's apply and cancel. The Win32 page
// translates window messages into these calls and implements the views.
#pragma once

#include <cstddef>
#include <cstdint>

#include "action_commands.h"
#include "key_store.h"
#include "page_view.h"
#include "store_save.h"

namespace editor {

enum class Field { Caption, Prompt, Icon, Action, ShowFor };

// The four item fields with their labels and the two buttons beside them.
class FieldView {
public:
    virtual ~FieldView() = default;
    // itemFields: caption, description, icon and "Show for" with their
    // labels and the "..." button; actionFields: the action label, edit and
    // menu button.
    virtual void enableFields(bool itemFields, bool actionFields) = 0;
    virtual void showTexts(const char* caption, const char* prompt, const char* icon,
                           const char* action, const char* showFor) = 0;
    // Puts the caret in the caption edit with all its text selected.
    virtual void focusCaption() = 0;
    // Shows an action the page composed; this is not typing.
    virtual void showAction(const char* action) = 0;
    // Puts a picked icon location into the icon edit as the user's own entry,
    // so that it reaches the record through fieldEdited like typing does.
    virtual void enterIcon(const char* location) = 0;
};

enum class PickOutcome {
    Chosen,       // the choice is in the buffer
    Cancelled,    // by the user; or the choice has no file-system path or does not fit
    NotStorable,  // the system code page cannot spell the chosen path
};

// The dialogs in which the user picks a program, a file, a folder or an icon.
class Pickers {
public:
    virtual ~Pickers() = default;
    // Chosen with the choice in `path` (at most size - 1 characters). An icon
    // pick may also be Chosen with an empty text: the user gave up on a file
    // without icons.
    virtual PickOutcome pick(Pick what, char* path, std::size_t size) = 0;
};

enum class Question {
    Delete,         // "Are you sure you want to delete the item?"
    Reload,         // "Data is modified by another instance. Do you want to reload it?"
    SaveOnCancel,   // "Do you want to save the changes?" with Yes, No and Cancel
    SaveOnClose,    // the same with Yes and No: the sheet closes whatever the answer
};
enum class Answer { Yes, No, Cancel };

class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    virtual Answer ask(Question question) = 0;
    // Tells the user that a save or an edit was refused, and why.
    virtual void explainRefusal(const char* reason) = 0;
    // The system's words for an error code, at most size - 1 characters;
    // empty when it has none.
    virtual void describeError(std::uint32_t error, char* text, std::size_t size) = 0;
};

struct QuestionText {
    const char* text;
    const char* title;
    bool withCancel;
};
QuestionText questionText(Question question);

// Why a save was refused, in words for the user, cut to size - 1. With
// `closing` the sheet closes whatever the save did, and the words say that
// the changes are lost; else the page keeps them. StoreRefused has words
// of its own: storeRefusalText.
constexpr std::size_t kStoreRefusalSize = 512;
void saveRefusalText(SaveResult result, bool closing, char* text, std::size_t size);

// What the user is told when the store refused a write, with the system's
// words for the error (its code where there are none).
void storeRefusalText(std::uint32_t error, const char* systemText, bool closing, char* text,
                      std::size_t size);

class PageController {
public:
    PageController(Page& page, FieldView& fields, UserDialogs& dialogs, store::KeyStore& keys,
                   SaveLock& lock = unsharedStore())
        : page_(page), fields_(fields), dialogs_(dialogs), keys_(keys), lock_(lock) {}

    // The page's dialog was created: load its list, unmodified, with its
    // kind's save count taken in.
    void initialize() noexcept;
    // The page's window goes: every record is freed.
    void destroy() noexcept;

    // Toolbar commands 1 to 8; delete asks first.
    void command(int id) noexcept;
    // A change the user typed into a field (the caller has checked that the
    // edit has the focus); the text is cut to the field's size.
    void fieldEdited(Field field, const char* text) noexcept;

    // The selected item's optional settings. ShowFor belongs to commands and
    // submenus, Selection and RunAs to commands only. A setter changes the
    // record and marks the page modified when the value is new; it returns
    // false, changing nothing, where the setting does not belong to the
    // selection or the number is none of kSelection*. The text is cut to
    // the field's size. The getters give the defaults where nothing applies.
    bool setShowFor(const char* text) noexcept;
    bool setSelection(std::uint32_t selection) noexcept;
    bool setRunAs(bool elevated) noexcept;
    const char* showFor() noexcept;
    std::uint32_t selection() noexcept;
    bool runAs() noexcept;

    // The settings of the action menu on the selected command: one of the
    // three "Several Selected" items, or "Run as Administrator", which turns
    // elevation on or off. Changes and marks as the setters do.
    void settingCommand(int id) noexcept;
    // The menu item of "Several Selected" that holds for the selected
    // command (First Only where nothing applies).
    int selectionCommand() noexcept;

    // Action-menu commands 48 to 58 on the selected command: pick what the
    // command needs, edit the action, show it. Nothing changes when the
    // user cancels; an edit that does not fit, or a path the store cannot
    // spell, is refused with a message.
    void actionCommand(int id, Pickers& pickers) noexcept;
    // The "..." button beside the icon field.
    void pickIcon(Pickers& pickers) noexcept;

    void nodeDeleted(TreeNode node, ItemRecord* record) noexcept;
    void selectionChanged(TreeNode node) noexcept;

    // Offers to reload after another page saved this page's kind; returns
    // false when there was nothing to ask.
    bool reloadCheck() noexcept;

    // Apply: saves when modified. Returns false when the store refused the
    // tree; the user has been told and the page keeps every edit.
    bool apply() noexcept;
    // The user cancels while this page is active: returns true to keep the
    // sheet open. Asks at most once per cancel.
    bool queryCancel() noexcept;
    // The sheet is closing without applying.
    void reset() noexcept;

private:
    // Saves when modified; a refusal is told, in words that fit whether the
    // sheet stays open or is `closing`.
    bool save(bool closing) noexcept;
    void reload() noexcept;
    // True when the user chose a path (not empty); tells the user when the
    // chosen path cannot be stored.
    bool takePick(Pickers& pickers, Pick what, char* path, std::size_t size) noexcept;

    Page& page_;
    FieldView& fields_;
    UserDialogs& dialogs_;
    store::KeyStore& keys_;
    SaveLock& lock_;
    bool cancelAnswered_ = false;
};

}  // namespace editor
