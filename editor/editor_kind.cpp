#include "editor_kind.h"

#include "store_layout.h"

namespace editor {

const char* editorKind(const SelectionFacts& facts) {
    if (facts.isDriveRoot) {
        if (facts.driveType == kDriveTypeFixed) return store::kKindDrive;
        if (facts.driveType == kDriveTypeCdrom) return store::kKindCdrom;
        return nullptr;
    }
    if (facts.isDirectory) return facts.backgroundFlag ? store::kKindBackground : store::kKindDirectory;
    return store::kKindFile;
}

}  // namespace editor
