// The in-memory tree keeps the contract of the tree-view control.
#include <memory>

#include "memory_tree.h"
#include "tree_contract.h"

namespace {
struct MemoryTreeFactory {
    static std::unique_ptr<editor::TreePrimitives> make(editor::TreeListener& listener) {
        return std::make_unique<editor::MemoryTree>(&listener);
    }
};
}  // namespace

TEST_CASE_TEMPLATE_INVOKE(editor_tree_contract, MemoryTreeFactory);
