#include "classify.h"

#include "store_layout.h"

namespace handler {

const char* classifyContext(const ContextFacts& facts, const char* current) {
    if (!facts.hasSelection) return store::kKindBackground;
    if (facts.isDriveRoot) {
        if (facts.driveType == kDriveFixed) return store::kKindDrive;
        if (facts.driveType == kDriveCdrom) return store::kKindCdrom;
        return current;
    }
    return facts.isDirectory ? store::kKindDirectory : store::kKindFile;
}

}  // namespace handler
