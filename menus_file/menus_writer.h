// Writing a menus file: the kinds' trees as nested JSON, keys in a fixed
// order and values at their defaults left out, so that a file is easy to
// read and two exports of one store are the same text.
#pragma once

#include <string>

#include "code_page.h"
#include "menus_model.h"

namespace menus_file {

// The file's text for the kinds present in `menus`. False when a stored
// text is not text in the code page, with `problem` naming the entry.
bool writeMenus(const Menus& menus, const CodePage& codePage, std::string& out,
                std::string& problem);

}  // namespace menus_file
