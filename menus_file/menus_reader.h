// Reading a menus file: the JSON, then every check an import needs before it
// writes anything, each refusal naming its line and what is wrong there.
//
// The file (UTF-8):
//   {"format": "talvex-menus", "version": 1,
//    "menus": {"<kind>": [<entry>, ...], ...}}
// kinds "*", "Directory", "Background", "Drive", "CDROM", each optional;
// an entry is {"separator": true}, a submenu {"caption", "items": [...]}
// or a command {"caption", "action"}; both may have "prompt", "icon" and
// "showFor", a command "selection" ("first", "each", "all") and "runAs"
// (true or false).
#pragma once

#include <string>

#include "code_page.h"
#include "menus_model.h"

namespace menus_file {

constexpr const char kFormatName[] = "talvex-menus";
constexpr int kFormatVersion = 1;

struct ReadProblem {
    unsigned line = 0;
    unsigned column = 0;  // syntax errors only
    std::string text;
};

// "line 3, column 7: ..." or "line 3: ...".
std::string describe(const ReadProblem& problem);

// Reads the whole file into `out`. False at the first problem: bad JSON,
// a key it does not know or a value of the wrong type, a text the code page
// cannot hold exactly or too long for its field, a list of more than 1024
// entries, more items than 999 ids number.
bool readMenus(const std::string& fileText, const CodePage& codePage, Menus& out,
               ReadProblem& problem);

}  // namespace menus_file
