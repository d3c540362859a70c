// The package's manifest against korvane.dll as built: every class the
// manifest declares for the surrogate, and every class a verb names, is one
// that the DLL's DllGetClassObject serves with an object that is an
// IExplorerCommand; the verbs use exactly the declared classes, and the
// classic handler's class, which Windows 11's first menu cannot show, is
// not among them. The program is given the manifest as --manifest=<path>.
#include <doctest/doctest.h>

#include <objbase.h>
#include <shobjidl.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "check_printers.h"
#include "server_test_support.h"

using server_test::Exports;

namespace {

// {A08CE4D0-FA25-44AB-B57C-C7B1C323E0B9}
constexpr IID kIidExplorerCommand = {0xA08CE4D0, 0xFA25, 0x44AB,
                                     {0xB5, 0x7C, 0xC7, 0xB1, 0xC3, 0x23, 0xE0, 0xB9}};

std::string manifestText() {
    const std::string line = GetCommandLineA();
    const std::string option = "--manifest=";
    const std::size_t at = line.find(option);
    REQUIRE_MESSAGE(at != std::string::npos, "no --manifest=<path> on the command line: " << line);
    const std::string path = line.substr(at + option.size(), line.find(' ', at) - at - option.size());
    std::ifstream file(path, std::ios::binary);
    REQUIRE_MESSAGE(file.good(), "cannot read the manifest " << path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The values of `attribute` on every `<element ` of the manifest.
std::set<std::string> attributeValues(const std::string& text, const std::string& element,
                                      const std::string& attribute) {
    std::set<std::string> values;
    for (std::size_t at = text.find("<" + element + " "); at != std::string::npos;
         at = text.find("<" + element + " ", at + 1)) {
        const std::size_t end = text.find('>', at);
        const std::size_t name = text.find(" " + attribute + "=\"", at);
        if (name == std::string::npos || name > end) continue;
        const std::size_t start = name + attribute.size() + 3;
        values.insert(text.substr(start, text.find('"', start) - start));
    }
    return values;
}

}  // namespace

TEST_CASE("korvane.dll serves every class of the package as an IExplorerCommand") {
    const std::string manifest = manifestText();
    const std::set<std::string> classes = attributeValues(manifest, "com:Class", "Id");
    const std::set<std::string> verbs = attributeValues(manifest, "desktop5:Verb", "Clsid");
    CHECK(classes.size() == 2);
    CHECK(verbs == classes);
    const std::string classic = TALVEX_KORVANE_CLSID;
    CHECK(classes.count(classic.substr(1, classic.size() - 2)) == 0);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        Exports dll;
        REQUIRE(dll.load());
        for (const std::string& id : classes) {
            CAPTURE(id);
            CLSID clsid = {};
            const std::wstring text(L"{" + std::wstring(id.begin(), id.end()) + L"}");
            REQUIRE(Hr(CLSIDFromString(text.c_str(), &clsid)) == Hr(S_OK));
            IClassFactory* factory = nullptr;
            CHECK(Hr(dll.getClassObject(clsid, IID_IClassFactory,
                                        reinterpret_cast<void**>(&factory))) == Hr(S_OK));
            if (!factory) continue;
            IUnknown* command = nullptr;
            CHECK(Hr(factory->CreateInstance(nullptr, kIidExplorerCommand,
                                             reinterpret_cast<void**>(&command))) == Hr(S_OK));
            CHECK(command != nullptr);
            if (command) command->Release();
            factory->Release();
        }
    }
    CoUninitialize();
}
