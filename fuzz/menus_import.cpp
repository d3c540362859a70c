// Any bytes as a menus file imported into a store: the file is either taken
// whole, and an export then gives back every kind it held (and the kinds it
// left out as they were), or refused with the store untouched. A store that
// refuses writes part way leaves every list naming only items that are there.
//
// Input: one byte of choices (bit 0 the code page: Latin-1 or UTF-8; bit 1
// a store with menus and a stray item first; bit 2 a store that refuses
// writes after the count in bits 3-7), then the file.
#include <string>

#include "fuzz_support.h"
#include "memory_key_store.h"
#include "menus_file_runs.h"
#include "stand_in_code_page.h"
#include "store_writer.h"

namespace {

void fillStore(store::MemoryKeyStore& keys) {
    for (std::uint16_t i = 0; i < store::kContextKindCount; ++i) {
        store::putItem(keys, i + 1u, std::string("Kept ") + store::kContextKinds[i], i == 2, "kept.exe");
        store::putIndex(keys, store::kContextKinds[i], {{static_cast<std::uint16_t>(i + 1), 0}, {0, 0}});
    }
    store::putItem(keys, 7, "Stray");
    store::putMaxId(keys, 8);
    store::putFreeIds(keys, {8});
}

std::string kindsOf(const menus_file::Menus& menus, const menus_file::Menus& from, bool present) {
    menus_file::Menus picked;
    for (std::size_t i = 0; i < picked.kinds.size(); ++i)
        if (menus.kinds[i].has_value() == present) picked.kinds[i] = from.kinds[i];
    std::string text, problem;
    menus_file::writeMenus(picked, menus_testing::Utf8CodePage(), text, problem);
    return text;
}

menus_file::Menus storeMenus(store::MemoryKeyStore& keys) {
    menus_file::StoreContents contents;
    if (!menus_file::readStore(keys, contents)) fuzzing::fail("reading the store", "its menus", "out of memory");
    return contents.menus;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Input input(data, size);
    const std::uint8_t choices = input.byte();
    const std::vector<std::uint8_t> rest = input.bytes(input.remaining());
    const std::string file(rest.begin(), rest.end());
    const menus_testing::Latin1CodePage latin1;
    const menus_testing::Utf8CodePage utf8;
    const menus_file::CodePage& codePage = (choices & 1) ? static_cast<const menus_file::CodePage&>(utf8) : latin1;

    store::MemoryKeyStore keys;
    if (choices & 2) fillStore(keys);
    const std::string before = keys.dump();
    const menus_file::Menus storedBefore = storeMenus(keys);
    if (choices & 4) keys.refuseWritesAfter(choices >> 3, 5);

    menus_file::Menus fileMenus;
    menus_file::ReadProblem problem;
    const bool read = menus_file::readMenus(file, codePage, fileMenus, problem);
    auto run = menus_testing::importText(file, keys, codePage);
    fuzzing::check(read == run.read, "reading the file twice", "the same answer", "another");
    keys.acceptWrites();
    if (!run.read || !run.result.refusal.empty()) {
        fuzzing::checkEqual(before, keys.dump(), "the store after a refused file",
                            run.read ? run.result.refusal : menus_file::describe(problem));
        return 0;
    }
    if (run.result.result != editor::SaveResult::Saved) {
        fuzzing::check(choices & 4, "an import into a store that takes every write", "saved",
                       "refused with " + std::to_string(static_cast<int>(run.result.result)));
        for (const char* kind : store::kContextKinds)
            for (const store::IndexEntry& entry : store::readIndexList(keys, kind))
                fuzzing::check(entry.id == 0 || keys.hasKey(store::itemKeyPath(entry.id)),
                               "a list after a refused write", "only items that are there",
                               std::string(kind) + " names item " + std::to_string(entry.id));
        return 0;
    }
    const menus_file::Menus after = storeMenus(keys);
    fuzzing::checkEqual(kindsOf(fileMenus, fileMenus, true), kindsOf(fileMenus, after, true),
                        "the kinds the file held, exported after the import");
    fuzzing::checkEqual(kindsOf(fileMenus, storedBefore, false), kindsOf(fileMenus, after, false),
                        "the kinds the file left out");
    return 0;
}
