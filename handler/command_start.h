// Starting a stored command for the objects a menu was opened on: the one
// way both of korvane's menu fronts run a chosen command.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace handler {

// What a chosen command runs, as the store holds it.
struct CommandToStart {
    const char* caption;      // the store's, in the code page; names it in questions
    const char* action;       // the store's, in the code page
    std::uint32_t selection;  // how several selected objects are taken (store::kSelection...)
    bool runAs;               // started elevated: the verb "runas"
};

// A menu's chosen command read again from the store, for the settings a
// menu does not read (how it takes several objects, whether it runs
// elevated); `action` is the one the menu showed. An item gone from the
// store since keeps the defaults: the first object, no elevation.
struct ChosenCommand {
    std::string caption;
    std::string action;
    std::uint32_t selection = 0;
    bool runAs = false;
    CommandToStart toStart() const { return {caption.c_str(), action.c_str(), selection, runAs}; }
};
ChosenCommand chosenCommand(std::uint32_t id, const char* action);

// Above this many objects, a command run for each asks first.
constexpr std::size_t kObjectsWithoutQuestion = 15;

// Starts the command for `paths` (the shell's, in UTF-16; the first is the
// object the menu was opened on): once for the first, once for each in
// turn, or once for all, as its selection setting says. Questions and
// refusals are message boxes owned by `owner`. False when nothing was
// started or a start failed; starting for each stops at the first failure.
bool startCommand(const CommandToStart& command, const std::vector<std::wstring>& paths,
                  HWND owner);

}  // namespace handler
