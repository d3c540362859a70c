#include "command_tree.h"

#include <cstdint>
#include <cstring>

#include "store_layout.h"

namespace handler {

namespace {

// Collects the walk's insertions as nodes. A menu handle is its index in
// CommandTree::menus plus one, so that no handle is null.
class TreeSink : public MenuSink {
public:
    explicit TreeSink(CommandTree& tree) : tree_(tree) {}

    MenuHandle createSubmenu() override {
        tree_.menus.emplace_back();
        return handleOf(tree_.menus.size() - 1);
    }
    void insertSeparator(MenuHandle menu, unsigned position) override {
        add(menu, position, {CommandNode::Type::Separator, std::string(), 0, 0});
    }
    bool insertItem(MenuHandle menu, unsigned position, const MenuItem& item) override {
        CommandNode node{item.submenu ? CommandNode::Type::Submenu : CommandNode::Type::Command,
                         item.caption, item.id, item.submenu ? indexOf(item.submenu) : 0};
        add(menu, position, std::move(node));
        return true;
    }
    BitmapHandle makeIconBitmap(const ItemSlot&) override { return nullptr; }

private:
    static MenuHandle handleOf(std::size_t menu) {
        return reinterpret_cast<MenuHandle>(static_cast<std::uintptr_t>(menu + 1));
    }
    static std::size_t indexOf(MenuHandle handle) {
        return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(handle)) - 1;
    }
    void add(MenuHandle menu, unsigned position, CommandNode node) {
        std::vector<std::size_t>& entries = tree_.menus[indexOf(menu)];
        tree_.nodes.push_back(std::move(node));
        entries.insert(entries.begin() + position, tree_.nodes.size() - 1);
    }

    CommandTree& tree_;
};

}  // namespace

CommandTree readCommandTree(store::KeyStore& keys, const char* kind, ItemFilter* filter) {
    CommandTree tree;
    TreeSink sink(tree);
    // Offsets double as ids: the first id is 0, and no host limits the last.
    MenuRequest request{kind, reinterpret_cast<MenuHandle>(std::uintptr_t{1}), 0, 0, 0x7FFFFFFF,
                        IconMode::OwnerDrawn, filter};
    buildMenu(keys, request, sink, tree.table);
    return tree;
}

RootShape rootShape(const CommandTree& tree) {
    const std::vector<std::size_t>& top = tree.menus[0];
    if (top.size() == 1 && tree.nodes[top[0]].type == CommandNode::Type::Submenu)
        return {false, top[0], tree.nodes[top[0]].menu};
    return {top.empty(), RootShape::kOwnTitle, 0};
}

std::string iconLocation(const ItemSlot& slot) {
    if (slot.iconFile[0] == '\0') return std::string();
    return std::string(slot.iconFile) + "," + std::to_string(slot.iconIndex);
}

bool packagedFrontShows(const char* kind) {
    return kind && (std::strcmp(kind, store::kKindFile) == 0 ||
                    std::strcmp(kind, store::kKindDirectory) == 0 ||
                    std::strcmp(kind, store::kKindBackground) == 0);
}

}  // namespace handler
