// Starting a stored command for the objects a menu was opened on: the one
// way both of korvane's menu fronts run a chosen command.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "chosen_command.h"

namespace handler {

// The chosen command of menu entry `id`, from the registry's store.
ChosenCommand chosenCommand(std::uint32_t id);

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
