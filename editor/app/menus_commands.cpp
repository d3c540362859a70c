#include "menus_commands.h"

#include <windows.h>

#include "menus_files.h"
#include "menus_reader.h"
#include "menus_writer.h"
#include "registry_key_store.h"
#include "store_lock.h"
#include "store_menus.h"
#include "system_code_page.h"

namespace talvex_app {

namespace {

using menus_file::kindTitle;

std::wstring quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// "Files 3 items, Folders none, ..." for the kinds present.
std::wstring contentsWords(const menus_file::Menus& menus, const std::vector<int>& kinds) {
    std::wstring words;
    for (int kind : kinds) {
        const std::size_t items = menus_file::itemCount(*menus.kinds[static_cast<std::size_t>(kind)]);
        words += (words.empty() ? L"" : L", ") + wideFromUtf8(kindTitle(kind)) + L" " +
                 (items == 0 ? std::wstring(L"empty")
                             : std::to_wstring(items) + (items == 1 ? L" item" : L" items"));
    }
    return words;
}

std::vector<int> kindsIn(const menus_file::Menus& menus) {
    std::vector<int> kinds;
    for (int i = 0; i < store::kContextKindCount; ++i)
        if (menus.kinds[static_cast<std::size_t>(i)]) kinds.push_back(i);
    return kinds;
}

std::wstring saveFailureWords(const menus_file::ImportResult& result, store::KeyStore& keys) {
    switch (result.result) {
        case editor::SaveResult::StoreRefused:
            return L"the registry refused to save it: " + systemWords(keys.lastError());
        case editor::SaveResult::StoreBusy:
            return L"another editor kept the menu store busy for too long; try again in a moment";
        case editor::SaveResult::NoIdLeft:
            return L"the store ran out of item numbers (they end at 999)";
        case editor::SaveResult::TooManyEntries:
            return L"a menu would pass 1024 entries";
        case editor::SaveResult::OutOfMemory:
        case editor::SaveResult::Saved:
            break;
    }
    return L"the system ran out of memory";
}

}  // namespace

int exportMenus(const std::wstring* given, Output& output, void* owner) {
    std::wstring path;
    if (given) path = *given;
    else if (!askForFile(true, owner, path)) return kExitFailed;

    store::RegistryKeyStore keys;
    SystemCodePage codePage;
    menus_file::StoreContents contents;
    std::string text, problem;
    // Read under the editors' lock, so that a save under way is not caught
    // half written (its new items would look like ones no menu shows).
    editor::StoreLock lock;
    if (!lock.acquire()) {
        output.say(L"The menus were not exported: another editor kept the menu store busy for too "
                   L"long; try again in a moment.",
                   Tone::Error);
        return kExitFailed;
    }
    const bool read = menus_file::readStore(keys, contents);
    lock.release();
    if (!read) problem = "the system ran out of memory";
    else menus_file::writeMenus(contents.menus, codePage, text, problem);
    std::wstring error;
    if (!problem.empty()) {
        output.say(L"The menus were not exported: " + wideFromUtf8(problem) + L".", Tone::Error);
        return kExitFailed;
    }
    if (!writeWholeFile(path, text, error)) {
        output.say(L"The menus could not be written to " + quoted(path) + L": " + error + L".", Tone::Error);
        return kExitFailed;
    }
    std::wstring words = L"Exported your menus to " + quoted(path) + L": " +
                         contentsWords(contents.menus, kindsIn(contents.menus)) + L".";
    if (!contents.unreached.empty()) {
        words += L"\n\nThe store holds " + std::to_wstring(contents.unreached.size()) +
                 L" item(s) that no menu shows (numbers";
        for (std::uint32_t id : contents.unreached) words += L" " + std::to_wstring(id);
        words += L"); they were left out.";
    }
    for (const std::string& entry : contents.cutActions)
        words += L"\n\nThe stored action of " + wideFromStore(entry) +
                 L" is longer than the menu can hold; the file has it cut to 2047 bytes.";
    output.say(words, Tone::Information);
    return kExitDone;
}

int importMenus(const std::wstring* given, Output& output, void* owner) {
    std::wstring path;
    if (given) path = *given;
    else if (!askForFile(false, owner, path)) return kExitFailed;

    std::string text;
    std::wstring error;
    if (!readWholeFile(path, text, error)) {
        output.say(L"Nothing was imported: " + quoted(path) + L" could not be read: " + error + L".",
                   Tone::Error);
        return kExitFailed;
    }
    SystemCodePage codePage;
    menus_file::Menus menus;
    menus_file::ReadProblem problem;
    if (!menus_file::readMenus(text, codePage, menus, problem)) {
        output.say(L"Nothing was imported: " + quoted(path) + L", " +
                       wideFromUtf8(menus_file::describe(problem)) + L".",
                   Tone::Error);
        return kExitFailed;
    }

    store::RegistryKeyStore keys;
    editor::StoreLock lock;
    std::wstring backup, backupError;
    const menus_file::ImportResult result = menus_file::importMenus(
        menus, keys, lock, [&](const menus_file::StoreContents& contents) {
            std::string old, unwritten;
            if (!menus_file::writeMenus(contents.menus, codePage, old, unwritten)) {
                backupError = wideFromUtf8(unwritten);
                return false;
            }
            backup = writeBackup(old, backupError);
            return !backup.empty();
        });
    const std::wstring undo = backup.empty() ? std::wstring()
                                             : L"\n\nYour menus as they were are kept in " + quoted(backup) +
                                                   L"; import that file to go back.";
    if (!result.refusal.empty() || (result.writtenKinds.empty() && result.failedKind < 0 &&
                                    result.result != editor::SaveResult::Saved)) {
        std::wstring why = !backupError.empty() ? L"the menus as they are could not be kept in a backup first: " + backupError
                           : !result.refusal.empty() ? wideFromUtf8(result.refusal)
                                                     : saveFailureWords(result, keys);
        output.say(L"Nothing was imported from " + quoted(path) + L": " + why + L".", Tone::Error);
        return kExitFailed;
    }
    if (result.result != editor::SaveResult::Saved) {
        const std::wstring failed = wideFromUtf8(kindTitle(result.failedKind));
        std::wstring words = L"The " + failed + L" menu from " + quoted(path) +
                             L" was not imported whole: " + saveFailureWords(result, keys) + L".";
        if (!result.writtenKinds.empty())
            words += L" Imported before that: " + contentsWords(menus, result.writtenKinds) + L".";
        words += L" The " + failed + L" menu shows either as it was or as the file has it; the "
                 L"menus after it are as they were.";
        output.say(words + undo, Tone::Error);
        return kExitFailed;
    }
    std::wstring words = L"Imported " + quoted(path) + L": " + contentsWords(menus, kindsIn(menus)) + L".";
    if (result.removedUnreached)
        words += L" " + std::to_wstring(result.removedUnreached) + L" stored item(s) that no menu showed were removed.";
    output.say(words + undo, Tone::Information);
    return kExitDone;
}

}  // namespace talvex_app
