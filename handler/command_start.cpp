#include "command_start.h"

#include <shellapi.h>

#include <string>

#include "action.h"
#include "code_page_text.h"
#include "registry_key_store.h"
#include "store_layout.h"

namespace handler {

namespace {

constexpr wchar_t kBoxTitle[] = L"Talvex";

// wchar_t is UTF-16 here: the two string types hold the same units.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide text is UTF-16");
std::u16string asText16(const std::wstring& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}
std::wstring asWide(const std::u16string& text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

bool launch(const Command& command, bool runAs) {
    std::wstring program = asWide(command.program), arguments = asWide(command.arguments),
                 directory = asWide(command.directory);
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof execute;
    // As ShellExecute, a failure shows no dialog. The command objects run in
    // a surrogate that may end soon after Invoke returns: the start is
    // finished before this returns.
    execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    // "runas" has Windows ask for elevation; the rest of the start is the same.
    execute.lpVerb = runAs ? L"runas" : L"open";
    execute.lpFile = program.c_str();
    execute.lpParameters = command.hasArguments ? arguments.c_str() : nullptr;
    execute.lpDirectory = command.hasDirectory ? directory.c_str() : nullptr;
    execute.nShow = command.showCommand;
    return ShellExecuteExW(&execute) != FALSE;
}

// Expands the action (the store's text, in the code page) for the paths and
// starts it. The action and the paths meet in UTF-16, so the program gets
// every path exactly.
bool startFor(const CommandToStart& command, const std::vector<std::u16string>& paths) {
    Command prepared;
    const std::u16string action = asText16(wideFromCodePage(command.action));
    if (!prepareCommand(action, paths, prepared)) return false;
    return launch(prepared, command.runAs);
}

std::wstring quotedCaption(const CommandToStart& command) {
    return L"\"" + wideFromCodePage(command.caption ? command.caption : "") + L"\"";
}

bool askForEach(const CommandToStart& command, std::size_t count, HWND owner) {
    const std::wstring question = L"Start " + quotedCaption(command) + L" for " +
                                  std::to_wstring(count) + L" objects?";
    return MessageBoxW(owner, question.c_str(), kBoxTitle, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool startForAll(const CommandToStart& command, const std::vector<std::u16string>& paths,
                 HWND owner) {
    Command prepared;
    const std::u16string action = asText16(wideFromCodePage(command.action));
    if (!prepareCommand(action, paths, prepared)) return false;
    if (exceedsCommandLineLimit(prepared)) {
        const std::wstring refusal = quotedCaption(command) + L" cannot take " +
                                     std::to_wstring(paths.size()) +
                                     L" objects at once; select fewer.";
        MessageBoxW(owner, refusal.c_str(), kBoxTitle, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    return launch(prepared, command.runAs);
}

}  // namespace

ChosenCommand chosenCommand(std::uint32_t id) {
    store::RegistryKeyStore registry;
    return readChosenCommand(registry, id);
}

bool startCommand(const CommandToStart& command, const std::vector<std::wstring>& paths,
                  HWND owner) {
    if (!command.action || paths.empty()) return false;
    std::vector<std::u16string> texts;
    texts.reserve(paths.size());
    for (const std::wstring& path : paths) texts.push_back(asText16(path));
    // With one object every setting starts the same one command.
    if (command.selection == store::kSelectionAllAtOnce && texts.size() > 1)
        return startForAll(command, texts, owner);
    if (command.selection != store::kSelectionEachInTurn || texts.size() == 1)
        return startFor(command, {texts.front()});
    if (texts.size() > kObjectsWithoutQuestion && !askForEach(command, texts.size(), owner))
        return false;
    for (const std::u16string& path : texts)
        if (!startFor(command, {path})) return false;  // one failure, not one per object
    return true;
}

}  // namespace handler
