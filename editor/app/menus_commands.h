// talvex.exe export [file] and import [file]: the menus file written from
// the store, or read and imported into it, with what happened told through
// an Output. Without a file an Open or Save dialog asks for one (owned by
// `owner`, the menus window, or none).
#pragma once

#include <string>

#include "app_output.h"

namespace talvex_app {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;  // a bad file, or one that could not be read or written
constexpr int kExitBadArguments = 2;

int exportMenus(const std::wstring* path, Output& output, void* owner = nullptr);
int importMenus(const std::wstring* path, Output& output, void* owner = nullptr);

}  // namespace talvex_app
