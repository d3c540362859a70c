// The toolbar and the property sheet tab of an editor page, faked for the
// page logic's tests and fuzz targets: they remember what the page did to
// them.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "menu_store.h"
#include "page_view.h"

namespace page_fakes {

struct FakeToolbar : editor::ToolbarButtons {
    std::map<int, bool> enabled;
    void setButtonEnabled(int command, bool on) override { enabled[command] = on; }
    bool isEnabled(int command) const {
        auto it = enabled.find(command);
        return it != enabled.end() && it->second;
    }
    // "4:0 5:1 ..." for the delete and move buttons.
    std::string editButtons() const {
        std::string out;
        for (int command = editor::kCommandDelete; command <= editor::kCommandMoveIn; ++command)
            out += (out.empty() ? "" : " ") + std::to_string(command) + ":" +
                   (isEnabled(command) ? "1" : "0");
        return out;
    }
};

struct FakeSheet : editor::SheetTab {
    std::string tab = "Context Menu";
    int changedSent = 0;
    int unchangedSent = 0;
    void sendChanged() override { ++changedSent; }
    void sendUnchanged() override { ++unchangedSent; }
    void readTabText(char* text, std::size_t size) override {
        store::copyField(text, size, tab.c_str());
    }
    void writeTabText(const char* text) override { tab = text; }
};

}  // namespace page_fakes
