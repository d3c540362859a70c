// Splitting an action string into program, arguments, working directory and
// window state, and replacing its placeholders: plain text functions.
#pragma once

#include <string>

namespace handler {

// Show commands as the system numbers them.
constexpr int kShowHide = 0;
constexpr int kShowNormal = 1;
constexpr int kShowMaximize = 3;
constexpr int kShowMinimize = 6;

struct ParsedAction {
    std::string program;
    bool hasArguments = false;
    std::string arguments;  // starts with the space that introduced it
    bool hasDirectory = false;
    std::string directory;
    int showCommand = kShowNormal;
};

// An empty action, or one that begins with a space (no program), runs nothing.
bool actionRunsNothing(const char* action);

ParsedAction parseAction(const char* action);

// The context path up to, not including, its last backslash; empty without one.
std::string parentPath(const char* contextPath);

// Replaces "%1" by the context path and "%0" by its parent path; any other
// "%x" pair, and a trailing "%", stand for nothing.
std::string expandPlaceholders(const std::string& text, const char* contextPath);

}  // namespace handler
