// The editor's tree contract, run over the Windows tree-view control through
// the page's adapter: the same tests the in-memory tree passes.
#include <doctest/doctest.h>

#include <memory>

#include "tree_contract.h"
#include "tree_view_host.h"

namespace {

struct TreeViewFactory {
    static std::unique_ptr<editor::TreePrimitives> make(editor::TreeListener& listener) {
        auto tree = std::make_unique<tree_view_host::HostedTreeView>(&listener);
        REQUIRE_MESSAGE(tree->window() != nullptr, "the tree-view control could not be created");
        return tree;
    }
};

}  // namespace

TEST_CASE_TEMPLATE_INVOKE(editor_tree_contract, TreeViewFactory);
