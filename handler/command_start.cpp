#include "command_start.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "action.h"
#include "code_page_text.h"

namespace handler {

namespace {

// wchar_t is UTF-16 here: the two string types hold the same units.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide text is UTF-16");
std::u16string asText16(const wchar_t* text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}
std::wstring asWide(const std::u16string& text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

}  // namespace

bool startAction(const char* action, const wchar_t* contextPath) {
    if (!action || !contextPath) return false;
    // The action is the store's, in the code page; the path is the shell's.
    // Both meet in UTF-16, so the program gets the path exactly.
    Command command;
    std::wstring wideAction = wideFromCodePage(action);
    if (!prepareCommand(asText16(wideAction.c_str()), asText16(contextPath), command)) return false;
    std::wstring program = asWide(command.program), arguments = asWide(command.arguments),
                 directory = asWide(command.directory);
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof execute;
    // As ShellExecute, a failure shows no dialog. The command objects run in
    // a surrogate that may end soon after Invoke returns: the start is
    // finished before this returns.
    execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.lpVerb = L"open";
    execute.lpFile = program.c_str();
    execute.lpParameters = command.hasArguments ? arguments.c_str() : nullptr;
    execute.lpDirectory = command.hasDirectory ? directory.c_str() : nullptr;
    execute.nShow = command.showCommand;
    return ShellExecuteExW(&execute) != FALSE;
}

}  // namespace handler
