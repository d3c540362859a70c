#include <doctest/doctest.h>

#include <string>

#include "context_kind.h"

using store::ContextFacts;

namespace {

// The facts as the handler and the page gather them.
ContextFacts selected(bool root, unsigned drive, bool directory, bool lastOnBackground = false) {
    ContextFacts facts;
    facts.isDriveRoot = root;
    facts.driveType = drive;
    facts.isDirectory = directory;
    facts.lastMenuOnBackground = lastOnBackground;
    return facts;
}

std::string kindOf(const ContextFacts& facts, const char* current = nullptr) {
    const char* kind = store::decideContextKind(facts, current);
    return kind ? kind : "(none)";
}

}  // namespace

TEST_CASE("the context kind of a clicked object, for the menu and for the page") {
    CHECK(kindOf(selected(true, store::kDriveFixed, false)) == "Drive");
    CHECK(kindOf(selected(true, store::kDriveCdrom, false)) == "CDROM");
    // removable, network, or a type the system cannot tell: no menu of its own
    CHECK(kindOf(selected(true, 2, false)) == "(none)");
    CHECK(kindOf(selected(true, 4, false), "Directory") == "Directory");
    CHECK(kindOf(selected(true, 0, false), "*") == "*");
    CHECK(kindOf(selected(false, 0, true)) == "Directory");
    CHECK(kindOf(selected(false, 0, false), "Drive") == "*");
    // a folder's page edits the background menu after a menu on a background
    CHECK(kindOf(selected(false, 0, true, true)) == "Background");
    CHECK(kindOf(selected(false, 0, false, true)) == "*");
    CHECK(kindOf(selected(true, store::kDriveFixed, false, true)) == "Drive");

    ContextFacts background;
    background.onBackground = true;
    CHECK(kindOf(background, "*") == "Background");
    background.isDriveRoot = true;  // the background of a drive's window too
    background.driveType = store::kDriveFixed;
    CHECK(kindOf(background) == "Background");
}

TEST_CASE("a context kind named on a command line or in a data object") {
    const struct {
        const char* name;
        const char* kind;
    } rows[] = {{"*", "*"},           {"directory", "Directory"}, {"BACKGROUND", "Background"},
                {"Drive", "Drive"},   {"cdrom", "CDROM"},         {"", nullptr},
                {"Dir", nullptr},     {"Directory2", nullptr},    {"**", nullptr},
                {"Drive ", nullptr},  {nullptr, nullptr}};
    for (const auto& row : rows) {
        CAPTURE(row.name ? row.name : "(null)");
        const char* kind = store::contextKindNamed(row.name);
        CHECK(std::string(kind ? kind : "(none)") == (row.kind ? row.kind : "(none)"));
    }
}
