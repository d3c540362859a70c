// The menus file: export and import over the in-memory store, round trips
// of every kind of entry, and the files an import refuses without writing.
#include <doctest/doctest.h>

#include <string>

#include "editor_test_support.h"
#include "menus_file_runs.h"
#include "stand_in_code_page.h"

using namespace editor_testing;
using menus_testing::exportText;
using menus_testing::importText;

namespace {

const menus_testing::Latin1CodePage latin1;
const menus_testing::Utf8CodePage utf8;

// Every shape of entry, as an export writes it: nested submenus, a separator,
// the three optional values, default values left out, names in several
// scripts (the UTF-8 code page holds them all).
const char kEveryShape[] = R"({
  "format": "talvex-menus",
  "version": 1,
  "menus": {
    "*": [
      {
        "caption": "Инструменты",
        "prompt": "Werkzeuge für Dateien",
        "icon": "shell32.dll,3",
        "showFor": "*.txt;!*.exe",
        "items": [
          {
            "caption": "編集",
            "action": "notepad.exe \"%1\"",
            "selection": "each",
            "showFor": "*.txt",
            "runAs": true
          },
          {
            "separator": true
          },
          {
            "caption": "Inner",
            "items": [
              {
                "caption": "All at once",
                "action": "zip.exe \"%1\"",
                "selection": "all"
              }
            ]
          },
          {
            "caption": "Empty",
            "items": []
          }
        ]
      },
      {
        "separator": true
      },
      {
        "caption": "",
        "action": ""
      }
    ],
    "Directory": [],
    "Background": [
      {
        "caption": "Console here",
        "action": "cmd.exe /k cd \"%1\""
      }
    ],
    "Drive": [],
    "CDROM": []
  }
}
)";

std::string fileWith(const std::string& menus) {
    return R"({"format": "talvex-menus", "version": 1, "menus": )" + menus + "}";
}

// A store with one command per kind, under ids 1 to 5.
void putOnePerKind(store::MemoryKeyStore& keys) {
    for (std::uint16_t i = 0; i < store::kContextKindCount; ++i) {
        putItem(keys, i + 1u, std::string("Kept ") + store::kContextKinds[i], false, "kept.exe");
        putIndex(keys, store::kContextKinds[i], {{static_cast<std::uint16_t>(i + 1), 0}});
    }
    putMaxId(keys, 5);
}

}  // namespace

TEST_SUITE("menus file") {

TEST_CASE("export then import gives back the same menus") {
    store::MemoryKeyStore first;
    auto run = importText(kEveryShape, first, utf8);
    REQUIRE_MESSAGE(run.read, "the file was refused: " << menus_file::describe(run.problem));
    REQUIRE(run.result.result == editor::SaveResult::Saved);
    CHECK(exportText(first, utf8) == kEveryShape);

    store::MemoryKeyStore second;
    REQUIRE(importText(exportText(first, utf8), second, utf8).result.result == editor::SaveResult::Saved);
    CHECK_MESSAGE(second.dump() == first.dump(), "a second import wrote another store");
    // Stored as a save writes them: each optional value where it is used.
    // Background's one command is saved first (it grows least) and takes id 1.
    CHECK(storedList(first, "*") == "(2,0) (3,2) (0,2) (4,2) (5,4) (6,2) (0,0) (7,0)");
    CHECK(storedOptional(first, 2) == "ShowFor \"*.txt;!*.exe\"");
    CHECK(storedOptional(first, 3) == "Selection 1, ShowFor \"*.txt\", RunAs 1");
    CHECK(storedOptional(first, 7) == "none");
}

TEST_CASE("texts are kept in the code page, byte for byte") {
    store::MemoryKeyStore keys;
    auto run = importText(fileWith(R"({"*": [{"caption": "Café", "action": "ä.exe"}]})"), keys, latin1);
    REQUIRE(run.result.result == editor::SaveResult::Saved);
    CHECK(storedCaption(keys, 1) == "Caf\xe9");
    CHECK(exportText(keys, latin1).find("\"caption\": \"Café\"") != std::string::npos);
}

TEST_CASE("a file the import refuses writes nothing") {
    struct Bad {
        const char* file;
        unsigned line;
        const char* says;
    };
    const std::string tooLong(64, 'x');
    std::string manyEntries = "[";
    for (int i = 0; i < 1025; ++i) manyEntries += i ? ",\n{\"separator\": true}" : "{\"separator\": true}";
    std::string manyItems = "[";
    for (int i = 0; i < 1000; ++i) manyItems += i ? ",{\"caption\": \"c\"}" : "{\"caption\": \"c\"}";
    const std::string rows[][3] = {
        {"{\"format\": \"talvex-menus\",\n \"version\": 1,\n \"menus\": {\"*\": [}}", "3",
         "line 3, column 18: syntax error while parsing value - unexpected '}'"},
        {"", "1", "line 1, column 1: syntax error while parsing value - unexpected end of input"},
        {std::string("\xFF\xFE{\0", 4), "1", "line 1, column 1: the file is UTF-16"},
        {"[]", "1", "the file: should be an object"},
        {"{\"format\": \"other\", \"version\": 1, \"menus\": {}}", "1", "this is not a menus file"},
        {"{\"format\": \"talvex-menus\", \"version\": 2, \"menus\": {}}", "1", "\"version\" must be 1"},
        {fileWith("{\"Files\": []}"), "1", "\"menus\": \"Files\" is not one of the kinds"},
        {fileWith("{\"*\": [],\n\"*\": []}"), "2", "\"menus\": \"*\" is given twice"},
        {fileWith("{\"*\": {}}"), "1", "\"*\" menu: should be a list [...], not an object"},
        {fileWith("{\"*\": [\n{\"caption\": \"A\",\n \"colour\": 1}]}"), "3",
         "\"*\" menu, entry 1: \"colour\" is not one of"},
        {fileWith("{\"*\": [{\"caption\": \"A\", \"items\": [\n{\"caption\": 7}]}]}"), "2",
         "\"*\" menu, entry 1, entry 1: \"caption\" should be text, not a number"},
        {fileWith("{\"*\": [{\"action\": \"a.exe\"}]}"), "1", "entry 1: \"caption\" is missing"},
        {fileWith("{\"*\": [{\"separator\": true, \"caption\": \"-\"}]}"), "1",
         "a separator has no \"caption\""},
        {fileWith("{\"*\": [{\"caption\": \"S\", \"items\": [], \"runAs\": true}]}"), "1",
         "\"runAs\" belongs to commands"},
        {fileWith("{\"*\": [{\"caption\": \"C\",\n \"selection\": 1}]}"), "2",
         "\"selection\" should be \"first\", \"each\" or \"all\""},
        {fileWith("{\"Drive\": [\n\n{\"caption\": \"Ωmega\"}]}"), "3",
         "\"Drive\" menu, entry 1: \"caption\" holds the character \"Ω\" (U+03A9), which this "
         "system's code page (28591) cannot hold"},
        {fileWith("{\"*\": [{\"caption\": \"" + tooLong + "\"}]}"), "1",
         "\"caption\" is 64 bytes long in code page 28591; the store keeps at most 63"},
        {fileWith("{\"*\": [{\"caption\": \"a\\u0000b\"}]}"), "1", "holds the character U+0000"},
        {fileWith("{\"CDROM\": " + manyEntries + "]}"), "1025", "\"CDROM\" menu, entry 1025: one entry too many"},
        {fileWith("{\"*\": " + manyItems + "]}"), "1", "the file's items come to 1000"},
    };
    for (const auto& row : rows) {
        CAPTURE(row[0].substr(0, 120));
        store::MemoryKeyStore keys;
        putOnePerKind(keys);
        const std::string before = keys.dump();
        auto run = importText(row[0], keys, latin1);
        CHECK_MESSAGE(!run.read, "the file was taken, but it should be refused with: " << row[2]);
        CHECK(run.problem.line == std::stoul(row[1]));
        const std::string said = menus_file::describe(run.problem);
        CHECK_MESSAGE(said.find(row[2]) != std::string::npos,
                      "expected the message to say: " << row[2] << "\n  it said: " << said);
        CHECK_MESSAGE(keys.dump() == before, "a refused file changed the store");
    }
}

TEST_CASE("kinds in the file are replaced, the others kept; the backup holds the store before") {
    store::MemoryKeyStore keys;
    putOnePerKind(keys);
    putItem(keys, 9, "No list names me");  // above MaxID, as a save refused half way leaves it
    const std::string before = exportText(keys, latin1);
    auto run = importText(fileWith(R"({"*": [{"caption": "A"}, {"caption": "B"}], "Drive": []})"),
                          keys, latin1);
    REQUIRE(run.result.result == editor::SaveResult::Saved);
    CHECK(run.backup == before);
    CHECK(run.result.removedUnreached == 1);
    CHECK_FALSE(keys.hasKey(itemPath(9)));
    CHECK(storedList(keys, "Drive") == "");
    CHECK(storedCaption(keys, 2) == "Kept Directory");
    CHECK(storedList(keys, "Directory") == "(2,0)");
    // Drive's id went back to the free list; "*" took the ids freed first.
    CHECK(storedList(keys, "*") == "(1,0) (4,0)");
    CHECK(exportText(keys, latin1).find("\"caption\": \"Kept CD") != std::string::npos);

    SUBCASE("a backup that cannot be written stops the import before any write") {
        const std::string now = keys.dump();
        auto refused = importText(fileWith(R"({"*": []})"), keys, latin1, false);
        CHECK(refused.result.result == editor::SaveResult::StoreRefused);
        CHECK(refused.result.writtenKinds.empty());
        CHECK(keys.dump() == now);
    }
}

TEST_CASE("the 999 ids count the kinds the file keeps") {
    store::MemoryKeyStore keys;
    std::vector<store::IndexEntry> entries;
    for (std::uint16_t id = 1; id <= 500; ++id) entries.push_back({id, 0});
    putIndex(keys, "Directory", entries);
    putMaxId(keys, 500);
    std::string items = "[";
    for (int i = 0; i < 500; ++i) items += i ? ",{\"caption\": \"c\"}" : "{\"caption\": \"c\"}";
    const std::string before = keys.dump();
    auto run = importText(fileWith("{\"*\": " + items + "]}"), keys, latin1);
    CHECK(run.result.result == editor::SaveResult::NoIdLeft);
    CHECK(run.result.refusal == "the file's 500 items and the 500 items of the menus it leaves as "
                                "they are come to 1000, and the store numbers at most 999 items");
    CHECK(run.backup.empty());
    CHECK(keys.dump() == before);

    // Replacing the kept kind too makes room: the shrinking kind goes first.
    auto both = importText(fileWith("{\"*\": " + items + "], \"Directory\": [{\"caption\": \"d\"}]}"),
                           keys, latin1);
    CHECK(both.result.result == editor::SaveResult::Saved);
    CHECK(both.result.writtenKinds == std::vector<int>{1, 0});
    CHECK(store::readIndexList(keys, "*").size() == 500);
}

TEST_CASE("a write refused part way leaves every list naming only items that are there") {
    for (std::size_t allowed : {0u, 3u, 9u, 15u}) {
        CAPTURE(allowed);
        store::MemoryKeyStore keys;
        putOnePerKind(keys);
        keys.refuseWritesAfter(allowed, 5);
        auto run = importText(kEveryShape, keys, utf8);
        CHECK(run.result.result == editor::SaveResult::StoreRefused);
        CHECK(run.result.failedKind >= 0);
        keys.acceptWrites();
        for (const char* kind : store::kContextKinds)
            for (const store::IndexEntry& entry : store::readIndexList(keys, kind))
                CHECK_MESSAGE((entry.id == 0 || keys.hasKey(itemPath(entry.id))),
                              "the " << kind << " list names item " << entry.id << ", which has no key");
        // Importing again once the store takes writes finishes the job.
        CHECK(importText(kEveryShape, keys, utf8).result.result == editor::SaveResult::Saved);
        CHECK(exportText(keys, utf8) == kEveryShape);
    }
}

TEST_CASE("the deepest menu the store holds goes out and comes back; one level more is refused") {
    // 1024 entries, each a submenu inside the one before: 999 items and 25
    // separators at the bottom.
    auto nested = [](int submenus, int separators) {
        std::string text;
        for (int i = 0; i < submenus; ++i) text += "[{\"caption\": \"S" + std::to_string(i) + "\", \"items\": ";
        text += "[";
        for (int i = 0; i < separators; ++i) text += i ? ",{\"separator\": true}" : "{\"separator\": true}";
        text += "]";
        for (int i = 0; i < submenus; ++i) text += "}]";
        return fileWith("{\"Drive\": " + text + "}");
    };
    store::MemoryKeyStore keys;
    auto deepest = importText(nested(999, 25), keys, latin1);
    REQUIRE_MESSAGE(deepest.read, menus_file::describe(deepest.problem));
    CHECK(deepest.result.result == editor::SaveResult::Saved);
    CHECK(store::readIndexList(keys, "Drive").size() == 1024);
    const std::string exported = exportText(keys, latin1);
    store::MemoryKeyStore again;
    CHECK(importText(exported, again, latin1).result.result == editor::SaveResult::Saved);
    CHECK(exportText(again, latin1) == exported);

    auto deeper = importText(nested(999, 26), keys, latin1);
    CHECK_FALSE(deeper.read);
    CHECK(deeper.problem.text.find("one entry too many") != std::string::npos);
}

}  // TEST_SUITE
