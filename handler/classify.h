// Which menu a right click gets: a plain function of what is known about the
// clicked object, kept apart from the calls that find those facts out.
#pragma once

namespace handler {

// Drive types as the system numbers them.
constexpr unsigned kDriveFixed = 3;
constexpr unsigned kDriveCdrom = 5;

struct ContextFacts {
    bool hasSelection;  // false: the menu belongs to a folder's background
    bool isDriveRoot;
    unsigned driveType;
    bool isDirectory;
};

// Returns the context kind for the facts. A drive root that is neither fixed
// nor a CD drive keeps `current` (which may be null).
const char* classifyContext(const ContextFacts& facts, const char* current);

}  // namespace handler
