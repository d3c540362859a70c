// Starting a stored action for the object a menu was opened on: the one way
// both of korvane's menu fronts run a chosen command.
#pragma once

namespace handler {

// Expands the action (the store's text, in the code page) for the path (the
// shell's, in UTF-16) and starts it with the verb "open". False when nothing
// was started: the action runs nothing, or the shell refused it.
bool startAction(const char* action, const wchar_t* contextPath);

}  // namespace handler
