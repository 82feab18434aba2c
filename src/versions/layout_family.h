#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunalyx {

// The block layouts that the supported software versions share.
enum class LayoutFamily { Family170, Family3, Family5, FamilyT2D };

struct BlockSpec {
    std::uint8_t command;
    std::uint8_t length;
    friend bool operator==(const BlockSpec&, const BlockSpec&) = default;
};
using BlockList = std::vector<BlockSpec>;

struct FamilyLayout {
    LayoutFamily family;
    const char* name;  // "1.70", "3", "5", "T2-D" as the command line and menus say it
    BlockList readAll;
    BlockList writeAll;
    std::uint8_t injMapBlock;
    std::uint8_t ignMapBlock;
    std::uint8_t mapRefBlock;
    std::uint8_t basicLiveCmd;
    std::uint8_t sensorLiveCmd;
    std::uint8_t mapLiveCmd;
    std::uint8_t airFlowBlock;
    std::uint8_t functionSelectBlock;
    std::uint8_t itemNameBlock;
    bool baseMapShown;
    int tabsPerRow;
    bool pressureSensor;  // D-Jetro labels instead of air flow meter labels
    bool layout170;       // the 1.70 descriptor set
};

inline constexpr std::uint8_t kBaseMapBlock = 0xB0;  // 2-byte cells, T2-D only
inline constexpr std::uint8_t kAdvancedLiveCmd = 0xF0;
inline constexpr std::uint8_t kAuxLiveCmd = 0x00;

[[nodiscard]] const FamilyLayout& familyLayout(LayoutFamily family);

// The lists the main window starts with, before any identification.
[[nodiscard]] const BlockList& startupReadAllList();
[[nodiscard]] const BlockList& startupWriteAllList();

// Last four characters of the program name + first four of the version text:
// "SR20DET1" + "5.01 " gives "DET15.01".
[[nodiscard]] std::string versionKey(std::string_view programName, std::string_view versionText);
// The family of a known key; nullopt for an unsupported version.
[[nodiscard]] std::optional<LayoutFamily> familyOfKey(std::string_view key);
// "1.70", "3", "5", "T2-D" (any case) -> family.
[[nodiscard]] std::optional<LayoutFamily> familyFromName(std::string_view name);

}  // namespace tunalyx
