#include "context_kind.h"

#include "store_layout.h"

namespace store {

const char* decideContextKind(const ContextFacts& facts, const char* current) {
    if (facts.onBackground) return kKindBackground;
    if (facts.isDriveRoot) {
        if (facts.driveType == kDriveFixed) return kKindDrive;
        if (facts.driveType == kDriveCdrom) return kKindCdrom;
        return current;
    }
    if (!facts.isDirectory) return kKindFile;
    return facts.lastMenuOnBackground ? kKindBackground : kKindDirectory;
}

}  // namespace store
