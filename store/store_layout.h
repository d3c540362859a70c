// Key names, value names, context kinds and field sizes of the menu store.
// Both libraries compile this; nothing here depends on Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace store {

// All keys live under the current user's hive.
constexpr const char kIndexKey[] = "Software\\Talvex\\Korvane\\index";
constexpr const char kItemsKey[] = "Software\\Talvex\\Korvane\\items";
constexpr const char kBackgroundKey[] = "Software\\Talvex\\Quillon";

constexpr const char kCaptionValue[] = "Caption";
constexpr const char kPromptValue[] = "Prompt";
constexpr const char kIconValue[] = "Icon";
constexpr const char kIsSubMenuValue[] = "IsSubMenu";
constexpr const char kActionValue[] = "Action";
// Optional item values, stored only where they differ from their defaults.
constexpr const char kSelectionValue[] = "Selection";  // commands
constexpr const char kShowForValue[] = "ShowFor";      // commands and submenus
constexpr const char kRunAsValue[] = "RunAs";          // commands
constexpr const char kMaxIdValue[] = "MaxID";
constexpr const char kFreeIdsValue[] = "FreeIDs";
constexpr const char kIsBackgroundValue[] = "IsBackground";

// The five context kinds; each names an index list under kIndexKey.
constexpr const char kKindFile[] = "*";
constexpr const char kKindDirectory[] = "Directory";
constexpr const char kKindBackground[] = "Background";
constexpr const char kKindDrive[] = "Drive";
constexpr const char kKindCdrom[] = "CDROM";
constexpr const char* const kContextKinds[] = {kKindFile, kKindDirectory, kKindBackground,
                                               kKindDrive, kKindCdrom};
constexpr int kContextKindCount = 5;

// Field sizes in bytes, terminator included. Text that does not fit is cut
// to the size minus one.
constexpr std::size_t kCaptionSize = 64;
constexpr std::size_t kPromptSize = 64;
constexpr std::size_t kIconSize = 260;
constexpr std::size_t kActionSize = 2048;
constexpr std::size_t kPathSize = 260;
// "ShowFor": name patterns ("*", "?", a leading "!" excludes) between ";".
constexpr std::size_t kShowForSize = 260;

// "Selection": how a command runs when several objects are selected. Absent
// or any other number means the first object only.
constexpr std::uint32_t kSelectionFirstOnly = 0;
constexpr std::uint32_t kSelectionEachInTurn = 1;
constexpr std::uint32_t kSelectionAllAtOnce = 2;

// "RunAs": this starts the command's program elevated; absent or any other
// number starts it as the user.
constexpr std::uint32_t kRunAsElevated = 1;

// Item keys are named by at most three decimal digits; index lists hold at
// most this many entries.
constexpr std::uint32_t kMaxStoredId = 999;
constexpr std::size_t kMaxIndexEntries = 1024;
constexpr std::size_t kIndexEntryBytes = 4;

// Value types, numbered as the registry numbers them.
constexpr std::uint32_t kTypeString = 1;        // REG_SZ
constexpr std::uint32_t kTypeExpandString = 2;  // REG_EXPAND_SZ
constexpr std::uint32_t kTypeBinary = 3;        // REG_BINARY
constexpr std::uint32_t kTypeDword = 4;         // REG_DWORD

}  // namespace store
