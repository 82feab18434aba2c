#include "versions/layout_family.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "versions/family_blocks.h"

namespace tunalyx {

namespace {

// Command byte : data length, in transfer order.
const BlockList kReadAll170 = {{0x51, 80},  {0x52, 100}, {0x53, 100}, {0x54, 100}, {0x55, 100},
                               {0x56, 100}, {0x57, 100}, {0x58, 100}, {0x59, 100}, {0x5A, 107},
                               {0x5B, 24},  {0x5C, 13},  {0x5D, 20},  {0x5E, 12},  {0x5F, 12},
                               {0x60, 10},  {0x65, 85},  {0x67, 6},   {0x69, 80},  {0x6C, 5},
                               {0x6D, 18},  {0x6E, 1},   {0x6F, 1}};
const BlockList kWriteAll170 = {{0x5A, 107}, {0x5B, 24}, {0x5C, 13}, {0x5E, 12},
                                {0x5F, 12},  {0x60, 10}, {0x65, 85}};

const BlockList kReadAll3 = {
    {0x5A, 107}, {0x5C, 13},  {0x65, 85},  {0x67, 6},   {0x69, 80},  {0x6E, 1},   {0x6F, 1},
    {0x81, 100}, {0x82, 100}, {0x83, 100}, {0x84, 100}, {0x86, 100}, {0x87, 100}, {0x88, 100},
    {0x89, 100}, {0x8A, 80},  {0x8B, 12},  {0x8C, 2},   {0x8D, 24},  {0x8E, 12},  {0x8F, 14},
    {0x90, 6},   {0x91, 8},   {0x92, 12},  {0x93, 25},  {0x94, 9},   {0x95, 4},   {0x96, 4},
    {0x97, 2},   {0x98, 4},   {0x99, 8},   {0x9A, 6},   {0x9B, 6},   {0x9C, 6},   {0xA0, 64},
    {0xA1, 64},  {0xA2, 64},  {0xA3, 64},  {0xA4, 64},  {0xA5, 64},  {0xA6, 1},   {0xA7, 4},
    {0xA8, 4},   {0xA9, 4},   {0xAA, 3},   {0xAB, 11},  {0xAC, 10},  {0xAD, 8},   {0xF3, 8},
    {0xF4, 1},   {0xF5, 5}};
const BlockList kWriteAll3 = {
    {0x5A, 107}, {0x8A, 80}, {0x8B, 12}, {0x8C, 2},  {0x8D, 24}, {0x8E, 12}, {0x8F, 14},
    {0x90, 6},   {0x91, 8},  {0x92, 12}, {0x93, 25}, {0x94, 9},  {0x95, 4},  {0x96, 4},
    {0x97, 2},   {0x98, 4},  {0x99, 8},  {0x9A, 6},  {0x9B, 6},  {0x9C, 6},  {0xA0, 64},
    {0xA1, 64},  {0xA2, 64}, {0xA3, 64}, {0xA4, 64}, {0xA5, 64}, {0xA7, 4},  {0xA8, 4},
    {0xA9, 4},   {0xAA, 3},  {0xAB, 11}, {0xAC, 10}, {0xAD, 8}};

const BlockList kReadAll5 = {
    {0x81, 100}, {0x82, 100}, {0x83, 100}, {0x84, 100}, {0x86, 100}, {0x87, 100}, {0x88, 100},
    {0x89, 100}, {0x8A, 80},  {0x8B, 12},  {0x8C, 2},   {0x8D, 24},  {0x8E, 12},  {0x8F, 14},
    {0x90, 6},   {0x91, 8},   {0x92, 12},  {0x93, 25},  {0x94, 9},   {0x95, 4},   {0x96, 4},
    {0x97, 2},   {0x98, 4},   {0x99, 8},   {0x9A, 6},   {0x9B, 6},   {0x9C, 6},   {0xA0, 64},
    {0xA1, 64},  {0xA2, 64},  {0xA3, 64},  {0xA4, 64},  {0xA5, 64},  {0xA6, 1},   {0xA7, 4},
    {0xA8, 4},   {0xA9, 4},   {0xAA, 3},   {0xAB, 11},  {0xAC, 10},  {0xAD, 8},   {0xCE, 107},
    {0xD5, 13},  {0xD6, 85},  {0xD8, 1},   {0xD9, 1},   {0xDC, 6},   {0xDD, 80},  {0xF3, 8},
    {0xF4, 1},   {0xF5, 5}};
const BlockList kWriteAll5 = {
    {0x8A, 80}, {0x8B, 12}, {0x8C, 2},  {0x8D, 24}, {0x8E, 12}, {0x8F, 14}, {0x90, 6},
    {0x91, 8},  {0x92, 12}, {0x93, 25}, {0x94, 9},  {0x95, 4},  {0x96, 4},  {0x97, 2},
    {0x98, 4},  {0x99, 8},  {0x9A, 6},  {0x9B, 6},  {0x9C, 6},  {0xA0, 64}, {0xA1, 64},
    {0xA2, 64}, {0xA3, 64}, {0xA4, 64}, {0xA5, 64}, {0xA7, 4},  {0xA8, 4},  {0xA9, 4},
    {0xAA, 3},  {0xAB, 11}, {0xAC, 10}, {0xAD, 8},  {0xD6, 85}, {0xCE, 107}};

const BlockList kReadAllT2D = {
    {0x5F, 15},  {0x7A, 16},  {0x81, 100}, {0x82, 100}, {0x83, 100}, {0x84, 100}, {0x86, 100},
    {0x87, 100}, {0x88, 100}, {0x89, 100}, {0x8A, 80},  {0x8D, 24},  {0x8E, 12},  {0x8F, 14},
    {0x90, 6},   {0x91, 8},   {0x92, 12},  {0x93, 25},  {0x94, 9},   {0x96, 4},   {0x97, 2},
    {0x98, 4},   {0x9A, 6},   {0x9B, 6},   {0x9C, 6},   {0xA8, 4},   {0xA9, 4},   {0xAA, 3},
    {0xAB, 11},  {0xAC, 10},  {0xAD, 8},   {0xB0, 100}, {0xB1, 100}, {0xB2, 100}, {0xB3, 100},
    {0xB4, 100}, {0xB5, 100}, {0xB6, 100}, {0xB7, 100}, {0xB9, 12},  {0xBA, 12},  {0xBB, 8},
    {0xBC, 20},  {0xBD, 1},   {0xBE, 1},   {0xCB, 107}, {0xD6, 85},  {0xD8, 1},   {0xD9, 1},
    {0xDC, 6},   {0xDD, 80},  {0xF3, 8},   {0xF4, 1},   {0xF5, 5}};
const BlockList kWriteAllT2D = {
    {0x5F, 15}, {0x7A, 16}, {0x8A, 80}, {0x8D, 24}, {0x8E, 12},  {0x8F, 14}, {0x90, 6}, {0x91, 8},
    {0x92, 12}, {0x93, 25}, {0x94, 9},  {0x96, 4},  {0x97, 2},   {0x98, 4},  {0x9A, 6}, {0x9B, 6},
    {0x9C, 6},  {0xA8, 4},  {0xA9, 4},  {0xAA, 3},  {0xAB, 11},  {0xAC, 10}, {0xAD, 8}, {0xB9, 12},
    {0xBA, 12}, {0xBB, 8},  {0xBC, 20}, {0xBE, 1},  {0xCB, 107}, {0xD6, 85}};

// The start-up Write All list differs from family 5's by A6:1 and the order of its tail.
const BlockList kStartupWriteAll = {
    {0x8A, 80}, {0x8B, 12}, {0x8C, 2},  {0x8D, 24}, {0x8E, 12}, {0x8F, 14}, {0x90, 6},
    {0x91, 8},  {0x92, 12}, {0x93, 25}, {0x94, 9},  {0x95, 4},  {0x96, 4},  {0x97, 2},
    {0x98, 4},  {0x99, 8},  {0x9A, 6},  {0x9B, 6},  {0x9C, 6},  {0xA0, 64}, {0xA1, 64},
    {0xA2, 64}, {0xA3, 64}, {0xA4, 64}, {0xA5, 64}, {0xA6, 1},  {0xA7, 4},  {0xA8, 4},
    {0xA9, 4},  {0xAA, 3},  {0xAB, 11}, {0xAC, 10}, {0xD6, 85}, {0xAD, 8},  {0xCE, 107}};

// Families 1.70 and 3 keep the maps, air flow, function select and item names where the
// conversions move family 5's.
constexpr std::uint8_t in170(std::uint8_t block5) {
    return blockIn(kPairs170, block5);
}
constexpr std::uint8_t in3(std::uint8_t block5) {
    return blockIn(kPairs3, block5);
}

const std::array<FamilyLayout, 4> kLayouts = {{
    {LayoutFamily::Family170, "1.70", kReadAll170, kWriteAll170, in170(0x86), in170(0x81),
     in170(0x8A), 0x66, 0x6A, 0x68, in170(0xCE), in170(0xD6), in170(0xDD), false, 8, false, true},
    {LayoutFamily::Family3, "3", kReadAll3, kWriteAll3, in3(0x86), in3(0x81), in3(0x8A), 0x66, 0x6A,
     0x68, in3(0xCE), in3(0xD6), in3(0xDD), false, 8, false, false},
    {LayoutFamily::Family5, "5", kReadAll5, kWriteAll5, 0x86, 0x81, 0x8A, 0xDA, 0xDE, 0xDB, 0xCE,
     0xD6, 0xDD, false, 8, false, false},
    {LayoutFamily::FamilyT2D, "T2-D", kReadAllT2D, kWriteAllT2D, 0x86, 0x81, 0x8A, 0xDA, 0xDE, 0xDB,
     0xCB, 0xD6, 0xDD, true, 9, true, false},
}};

struct KnownKey {
    const char* key;
    LayoutFamily family;
};
constexpr KnownKey kKnownKeys[] = {
    {"DET15.01", LayoutFamily::Family5},   {"DET15.02", LayoutFamily::Family5},
    {"DET24.06", LayoutFamily::Family5},   {"DET35.05", LayoutFamily::Family5},
    {"DET52.04", LayoutFamily::Family5},   {"DET52.05", LayoutFamily::Family5},
    {"T2-D5.11", LayoutFamily::FamilyT2D}, {"DET23.01", LayoutFamily::Family3},
    {"DET13.13", LayoutFamily::Family3},   {"DET23.12", LayoutFamily::Family3},
    {"DET53.12", LayoutFamily::Family3},   {"DET11.70", LayoutFamily::Family170},
};

}  // namespace

const FamilyLayout& familyLayout(LayoutFamily family) {
    return kLayouts[static_cast<std::size_t>(family)];
}

const BlockList& startupReadAllList() {
    return kReadAll5;
}
const BlockList& startupWriteAllList() {
    return kStartupWriteAll;
}

void LayoutInForce::apply(LayoutFamily f) {
    const FamilyLayout& l = familyLayout(f);
    family = f;
    readAllList = l.readAll;
    writeAllList = l.writeAll;
    airFlowBlock = l.airFlowBlock;
    functionSelectBlock = l.functionSelectBlock;
    live = {l.basicLiveCmd, l.sensorLiveCmd, l.mapLiveCmd};
    baseMapTabVisible = l.baseMapShown;
    tabsPerRow = l.tabsPerRow;
    reCalcBaseEnabled = l.pressureSensor;
}

std::optional<std::uint8_t> listedLength(const BlockList& list, std::uint8_t block) {
    for (const ListedBlock& b : list)
        if (b.command == block) return b.length;
    return std::nullopt;
}

std::string versionKey(std::string_view programName, std::string_view versionText) {
    const auto tail =
        programName.size() > 4 ? programName.substr(programName.size() - 4) : programName;
    return std::string(tail) + std::string(versionText.substr(0, 4));
}

std::optional<LayoutFamily> familyOfKey(std::string_view key) {
    for (const auto& k : kKnownKeys)
        if (key == k.key) return k.family;
    return std::nullopt;
}

std::optional<LayoutFamily> familyFromName(std::string_view name) {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const auto& layout : kLayouts)
        if (upper == layout.name) return layout.family;
    return std::nullopt;
}

}  // namespace tunalyx
