#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "maps/map_grids.h"
#include "model/block_list.h"

namespace tunalyx {

// The block layouts that the supported software versions share.
enum class LayoutFamily { Family170, Family3, Family5, FamilyT2D };

// The live-data command bytes of a layout.
struct LiveCommands {
    std::uint8_t basic = 0xDA;
    std::uint8_t sensor = 0xDE;
    std::uint8_t map = 0xDB;
    friend bool operator==(const LiveCommands&, const LiveCommands&) = default;
};

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
// These write the air flow and function select blocks wherever a family keeps them.
inline constexpr std::uint8_t kAirFlowWriteCommand = 0x33;
inline constexpr std::uint8_t kFunctionSelectWriteCommand = 0x4B;

[[nodiscard]] const FamilyLayout& familyLayout(LayoutFamily family);

// The lists the main window starts with, before any identification.
[[nodiscard]] const BlockList& startupReadAllList();
[[nodiscard]] const BlockList& startupWriteAllList();

// The layout applied last: what identification sets from the family and every transfer, the
// monitor and the tabs follow. Before the first identification it is the start-up layout.
struct LayoutInForce {
    std::optional<LayoutFamily> family;  // none before the first identification with a layout
    BlockList readAllList = startupReadAllList();
    BlockList writeAllList = startupWriteAllList();
    std::uint8_t airFlowBlock = 0xCE;
    std::uint8_t functionSelectBlock = 0xD6;
    LiveCommands live;
    bool baseMapTabVisible = true;
    int tabsPerRow = 9;
    bool reCalcBaseEnabled = false;  // only for the pressure-sensor layout

    // Sets every field from the family's row of the layout table.
    void apply(LayoutFamily f);
    // The main tab to show after a layout switch: a hidden "Base Map" tab hands over to
    // "Ign Map" (tab 1); any other tab stays.
    [[nodiscard]] int activeTabAfterSwitch(int activeTab) const {
        return activeTab == kBaseMap && !baseMapTabVisible ? kIgnMap : activeTab;
    }
};

// The listed length of a block in a list; nullopt when the list does not name it.
[[nodiscard]] std::optional<std::uint8_t> listedLength(const BlockList& list, std::uint8_t block);

// Last four characters of the program name + first four of the version text:
// "SR20DET1" + "5.01 " gives "DET15.01".
[[nodiscard]] std::string versionKey(std::string_view programName, std::string_view versionText);
// The family of a known key; nullopt for an unsupported version.
[[nodiscard]] std::optional<LayoutFamily> familyOfKey(std::string_view key);
// "1.70", "3", "5", "T2-D" (any case) -> family.
[[nodiscard]] std::optional<LayoutFamily> familyFromName(std::string_view name);

}  // namespace tunalyx
