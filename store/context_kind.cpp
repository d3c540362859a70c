#include "context_kind.h"

#include <cctype>

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

const char* contextKindNamed(const char* name) {
    if (!name) return nullptr;
    for (const char* kind : kContextKinds) {
        std::size_t i = 0;
        while (kind[i] && std::tolower(static_cast<unsigned char>(name[i])) ==
                              std::tolower(static_cast<unsigned char>(kind[i])))
            ++i;
        if (!kind[i] && !name[i]) return kind;
    }
    return nullptr;
}

}  // namespace store
