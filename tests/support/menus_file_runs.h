// Export and import of a menus file over any key store, as talvex.exe runs
// them but with the backup kept in memory: for the native tests and the fuzz
// target.
#pragma once

#include <string>

#include "code_page.h"
#include "menus_reader.h"
#include "menus_writer.h"
#include "store_menus.h"

namespace menus_testing {

struct ImportRun {
    bool read = false;  // the file passed every check
    menus_file::ReadProblem problem;
    menus_file::ImportResult result;
    std::string backup;  // the backup's text, when one was asked for
};

// The store's menus as a file's text; "<export failed: ...>" otherwise.
inline std::string exportText(store::KeyStore& keys, const menus_file::CodePage& codePage) {
    menus_file::StoreContents contents;
    if (!menus_file::readStore(keys, contents)) return "<export failed: out of memory>";
    std::string text, problem;
    if (!menus_file::writeMenus(contents.menus, codePage, text, problem))
        return "<export failed: " + problem + ">";
    return text;
}

inline ImportRun importText(const std::string& text, store::KeyStore& keys,
                            const menus_file::CodePage& codePage, bool backupWritten = true) {
    ImportRun run;
    menus_file::Menus menus;
    run.read = menus_file::readMenus(text, codePage, menus, run.problem);
    if (!run.read) return run;
    run.result = menus_file::importMenus(
        menus, keys, editor::unsharedStore(), [&](const menus_file::StoreContents& contents) {
            std::string problem;
            menus_file::writeMenus(contents.menus, codePage, run.backup, problem);
            return backupWritten;
        });
    return run;
}

}  // namespace menus_testing
