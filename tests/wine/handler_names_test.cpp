// Names in any language: the handler takes the clicked object's path as the
// shell gives it, in UTF-16, decides its menu from that path and hands it to
// the command exactly, never a spelling in the code page ('?' for what the
// code page lacks, a look-alike that names another file, or a path cut in the
// middle of a double-byte character). Run under code page 1252, and under
// 932 as handler_names_test_932 (its command line says so).
#include <doctest/doctest.h>

#include <string>

#include "foreign_names.h"
#include "handler_host.h"
#include "shell_host.h"

using namespace shell_host;
using handler_host::Handler;
using handler_host::Recorder;

namespace {

const std::string kDocs = "C:\\Docs";

void makeFolder(const std::string& path) { foreign_names::createFolder(wide(path)); }
void makeFile(const std::string& path) { foreign_names::createFile(wide(path)); }

// One command per menu: each passes the clicked path and its parent, and
// the folder menus use the paths as the working directory too.
struct NamedMenus {
    Recorder recording{kDocs + "\\record.txt"};
    NamedMenus() {
        clearStore();
        const std::string program = "\"" + recording.program + "\"";
        putItem(1, "File", false, program + " \"%1\" \"%0\"");
        putItem(2, "Folder", false, program + " \"%1\" $(%1)");
        putItem(3, "Background", false, program + " \"%1\" \"%0\" $(%0)");
        putIndex("*", {{1, 0}});
        putIndex("Directory", {{2, 0}});
        putIndex("Background", {{3, 0}});
    }
};

struct Started {
    std::string menu;         // the one caption the menu showed
    std::string commandLine;  // as the program received it, in UTF-8
    std::string directory;
};

// Shows the handler's menu, checks it holds one command, and runs it.
Started run(Handler& handler, HMENU popup, Recorder& recording) {
    Started started;
    std::vector<MenuEntry> entries = readMenu(popup);
    REQUIRE(entries.size() == 1);
    started.menu = entries[0].text;
    recording.next();
    CHECK(handler_host::invoke(handler.menu, MAKEINTRESOURCEA(0)) == S_OK);
    std::istringstream lines(handler_host::waitForRecord(recording.record));
    std::getline(lines, started.commandLine);
    std::getline(lines, started.directory);
    return started;
}

Started onSelection(const std::string& path, Recorder& recording) {
    HMENU popup = CreatePopupMenu();
    Handler handler({path}, popup);
    Started started = run(handler, popup, recording);
    DestroyMenu(popup);
    return started;
}

Started onBackground(const std::string& folder, Recorder& recording) {
    HMENU popup = CreatePopupMenu();
    Handler handler(popup, folder);
    Started started = run(handler, popup, recording);
    DestroyMenu(popup);
    return started;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

TEST_CASE("the test runs in the code page it was started for") {
    bool japanese = std::wstring(GetCommandLineW()).find(L"--code-page=932") != std::wstring::npos;
    CHECK(GetACP() == (japanese ? 932u : 1252u));
    if (japanese) {
        // The case this code page brings: the character's second byte is a backslash.
        char bytes[4] = {};
        BOOL lossy = FALSE;
        WideCharToMultiByte(CP_ACP, 0, L"表", -1, bytes, sizeof bytes, nullptr, &lossy);
        CHECK(std::string(bytes) == "\x95\x5C");
        CHECK_FALSE(lossy);
    }
}

TEST_CASE("files named in any language: the command gets the exact path and its parent") {
    ComScope com;
    makeFolder(kDocs);
    makeFolder(kDocs + "\\bestfit");
    makeFolder(kDocs + "\\表");
    NamedMenus menus;
    const std::string files[] = {kDocs + "\\Отчёт.txt", kDocs + "\\bestfit\\ā.txt",
                                 kDocs + "\\表.txt", kDocs + "\\表\\ソ.txt"};
    const std::string parents[] = {kDocs, kDocs + "\\bestfit", kDocs, kDocs + "\\表"};
    makeFile(kDocs + "\\bestfit\\a.txt");  // the look-alike that must never be the target
    for (int i = 0; i < 4; ++i) {
        CAPTURE(files[i]);
        makeFile(files[i]);
        Started started = onSelection(files[i], menus.recording);
        CHECK(started.menu == "File");
        CHECK_MESSAGE(started.commandLine.find(" " + quoted(files[i]) + " " + quoted(parents[i])) !=
                          std::string::npos,
                      "command line: " << started.commandLine);
        CHECK(started.commandLine.find('?') == std::string::npos);
        CHECK(started.commandLine.find("\\a.txt") == std::string::npos);
    }
}

TEST_CASE("a folder named in any language: its own menu, on the folder and on its background") {
    ComScope com;
    makeFolder(kDocs);
    const std::string folder = kDocs + "\\Папка";
    makeFolder(folder);
    NamedMenus menus;

    // "%1" inside the directory suffix: the folder is the working directory.
    Started started = onSelection(folder, menus.recording);
    CHECK(started.menu == "Folder");
    CHECK(started.commandLine.find(" " + quoted(folder)) != std::string::npos);
    CHECK(started.directory == folder);
    CHECK(backgroundFlag() == 0u);

    started = onBackground(folder, menus.recording);
    CHECK(started.menu == "Background");
    CHECK(started.commandLine.find(" " + quoted(folder) + " " + quoted(kDocs)) != std::string::npos);
    CHECK(started.directory == kDocs);
    CHECK(backgroundFlag() == 1u);

    const std::string inside = folder + "\\ф.txt";
    makeFile(inside);
    started = onSelection(inside, menus.recording);
    CHECK(started.menu == "File");
    CHECK(started.commandLine.find(" " + quoted(inside) + " " + quoted(folder)) != std::string::npos);
}
