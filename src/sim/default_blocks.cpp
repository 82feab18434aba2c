#include "sim/default_blocks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "sim/block_bytes.h"
#include "versions/family_blocks.h"

namespace tunalyx {

namespace {

constexpr int kMapSide = 20;

void putText(Bytes& slot, int pos, std::string_view text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        putByte(slot, pos + static_cast<int>(i),
                i < text.size() ? static_cast<unsigned char>(text[i]) : ' ');
}

Bytes textBlock(std::string_view text, std::size_t width) {
    Bytes slot;
    putText(slot, 1, text, width);
    return slot;
}

Bytes concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// A curve stored at descending positions, point 0 at `first`: the layout of most correction curves.
void putCurve(Bytes& slot, int first, int step, int width, std::initializer_list<double> raws) {
    int pos = first;
    for (double raw : raws) {
        if (width == 2)
            putWord(slot, pos, raw);
        else
            putByte(slot, pos, raw);
        pos += step;
    }
}

// Map cell (row, col), both from 0, as the grids address them: column by column.
using CellValue = std::function<double(double loadFrac, double rpmFrac)>;
void putMap(BlockStore& store, std::uint8_t base, int width, const CellValue& value) {
    for (int col = 0; col < kMapSide; ++col) {
        for (int row = 0; row < kMapSide; ++row) {
            const int p = (col * kMapSide + row) * width;
            Bytes& slot = store[static_cast<std::size_t>(base + p / 100)];
            const double v = value(row / 19.0, col / 19.0);
            if (width == 2)
                putWord(slot, p % 100 + 1, v);
            else
                putByte(slot, p % 100 + 1, v);
        }
    }
}

// Breakpoints: columns 800..7450 rpm, rows a load series finer at light load (1000..12932).
int rpmBreakpoint(int k) {
    return 800 + 350 * k;
}
int loadBreakpoint(int k) {
    return 1000 + 400 * k + 12 * k * k;
}

Bytes mapReference() {
    Bytes slot;
    for (int k = 0; k < kMapSide; ++k) {
        putWord(slot, 1 + 2 * k, loadBreakpoint(k));
        putWord(slot, 41 + 2 * k, rpmBreakpoint(k));
    }
    return slot;
}

// Degrees: advanced at light load and speed, pulled back towards full boost.
double ignitionDegrees(double load, double rpm) {
    const double light = 15 + 25 * std::min(1.0, rpm / 0.6);
    const double heavy = 10 + 6 * rpm;
    return light + (heavy - light) * load;
}

// Injection factor, 1.000 = raw 128; enrichment grows with boost.
double injectionRaw(double load, double rpm) {
    const double factor = 0.95 + 0.30 * load * load + 0.05 * load * rpm;
    return (factor - 0.5) * 256;
}

// Base pulse width, 0.004 ms per count.
double baseRaw(double load, double rpm) {
    return (0.8 + 11.2 * load * (0.8 + 0.2 * rpm)) / 0.004;
}

// Air flow meter curves: 32 points on a 0.2..5.0 V axis, airflow rising steeply with voltage.
void putAirFlowCurves(BlockStore& store) {
    constexpr std::array<double, 5> kMeterScale = {1.0, 1.0, 0.85, 1.15, 1.3};
    for (int i = 0; i < 32; ++i) {
        const double frac = i / 31.0;
        putWord(store[0xA0], 1 + 2 * i, (0.2 + 4.8 * frac) / 0.005);
        for (std::size_t m = 0; m < kMeterScale.size(); ++m)
            putWord(store[0xA1 + m], 1 + 2 * static_cast<int>(i),
                    kMeterScale[m] * 30000 * std::pow(frac, 2.2) + 8 * i);
    }
}

// On (0) or off (0xFF) per function; the older layout splits the warnings in two.
struct Functions {
    std::uint8_t boostKit = 0x00, injAirFlowWarn = 0x00, knockWarn = 0x00, o2Feedback = 0x00,
                 o2SensorReg = 0xFF;
};

Bytes functionSelect(const Functions& f, bool layout170) {
    Bytes slot;
    if (layout170) {
        const std::uint8_t flags[] = {f.boostKit, f.injAirFlowWarn, f.injAirFlowWarn, f.knockWarn,
                                      f.o2Feedback};
        slot.assign(std::begin(flags), std::end(flags));
        for (std::string_view name : {"1.Boost cntl kit", "2.Air-Flow Warn.", "3.Injector Warn.",
                                      "4.Knock Warning ", "5.O2 F/B Control"})
            putText(slot, static_cast<int>(slot.size()) + 1, name, 16);
    } else {
        const std::uint8_t flags[] = {f.boostKit, f.injAirFlowWarn, f.knockWarn, f.o2Feedback,
                                      f.o2SensorReg};
        slot.assign(std::begin(flags), std::end(flags));
        for (std::string_view name : {"1.Boost cntl kit", "2.Inj/AirF Warn.", "3.Knock Warning ",
                                      "4.O2 F/B Control", "5.O2 Sensor Reg."})
            putText(slot, static_cast<int>(slot.size()) + 1, name, 16);
    }
    return slot;
}

// Byte 1 selects one of the five named sets in bytes 2..91; bytes 92..107 hold the adjustment:
// eight words of 0.1 % for the air flow meter units, eight rpm and eight boost bytes
// (128 = 100 %) for the pressure-sensor unit.
Bytes airFlowBlock(bool pressureSensor) {
    constexpr std::array<std::string_view, 5> kMeters = {"Standard AFM", "80mm AFM", "90mm AFM",
                                                         "Hot-wire 3in", "User defined"};
    constexpr std::array<std::string_view, 5> kAdjustSets = {
        "Inj Adjust 1", "Inj Adjust 2", "Inj Adjust 3", "Inj Adjust 4", "Inj Adjust 5"};
    Bytes slot{0x00};
    for (std::string_view name : pressureSensor ? kAdjustSets : kMeters)
        putText(slot, static_cast<int>(slot.size()) + 1, name, 18);
    for (int i = 0; i < 8; ++i) {
        if (pressureSensor) {
            putByte(slot, 92 + i, 128);
            putByte(slot, 100 + i, 128);
        } else {
            putWord(slot, 92 + 2 * i, 1000);
        }
    }
    return slot;
}

// The built-in item-name texts: eight 4-character sensor names, sixteen 3-character switches.
std::string_view itemNames(const SimUnit& unit) {
    constexpr std::string_view kVtc =
        "AF-1THROBOSTWTRTO2-1EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PVTCO2HACRFAN";
    constexpr std::string_view kFp1 =
        "AF-1THROBOSTWTRTO2-1EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PFP1EAIO2HACR";
    constexpr std::string_view kNoVtc =
        "AF-1THROBOSTWTRTO2-1EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PACRFAN******";
    constexpr std::string_view kArflEld =
        "ARFLTHROBOSTWTRTO2S EXTM********IGNSTRELDA/CPWSNTR******ECCWRNEXTF/PVTCO2HACRFAN";
    constexpr std::string_view kArflFpm =
        "ARFLTHROBOSTWTRTO2S EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PFPMEAIO2HACR";
    constexpr std::string_view kArflVtc =
        "ARFLTHROBOSTWTRTO2S EXTM********IGNSTRA/CPWSNTR*********ECCWRNEXTF/PVTCO2HACRFAN";
    constexpr std::string_view kPressure =
        "THROBOSTWTRTAIRTO2S ************IGNSTRA/CPWSNTR*********ECCWRNEXTF/PFPMEAIO2HACR";
    const std::string key = versionKey(unit.programName, unit.versionText);
    const std::string_view v = std::string_view(unit.versionText).substr(0, 4);
    switch (unit.layout) {
        case LayoutFamily::Family170:
            return kVtc;
        case LayoutFamily::Family3:
            if (key == "DET13.13") return kVtc;
            if (key == "DET53.12") return kNoVtc;
            return kFp1;
        case LayoutFamily::Family5:
            if (v == "2.04" || v == "2.05") return kArflEld;
            if (v == "4.06") return kArflFpm;
            if (v == "5.05") return kArflVtc;
            return kVtc;
        case LayoutFamily::FamilyT2D:
            return kPressure;
    }
    return kVtc;
}

// Every block any layout might hold. Blocks that moved between layouts are written under each of
// their numbers; the Read All list of the unit then picks the ones it has.
BlockStore allBlocks(const SimUnit& unit) {
    const FamilyLayout& layout = familyLayout(unit.layout);
    BlockStore s;

    s[layout.mapRefBlock] = mapReference();
    putMap(s, layout.ignMapBlock, 1, ignitionDegrees);
    putMap(s, layout.injMapBlock, 1, injectionRaw);
    putMap(s, kBaseMapBlock, 2, baseRaw);
    putAirFlowCurves(s);

    // Rev limit, idle, idle with A/C, with electrical load, cold idle.
    constexpr std::array<int, 5> kRevIdle = {7500, 850, 950, 900, 1200};
    for (std::uint8_t b : {0x60, 0x7A, 0x8B})
        for (std::size_t i = 0; i < kRevIdle.size(); ++i)
            putWord(s[b], 1 + 2 * static_cast<int>(i), kRevIdle[i]);
    // Injector settings centred on their offsets (0x8000 reads 0.00 ms).
    for (std::uint8_t b : {0x5B, 0x8D})
        for (int pos = 1; pos < 24; pos += 2)
            putWord(s[b], pos, 0x8000);
    // Cranking pulse, ms at -30, -10, 10, 30, 50, 80 C.
    for (std::uint8_t b : {0x5E, 0x8E})
        putCurve(s[b], 11, -2, 2,
                 {30 / 0.004, 22 / 0.004, 14 / 0.004, 9 / 0.004, 6 / 0.004, 4 / 0.004});
    // Warm-up and after-start factors over the same temperatures, 64 = 1.000.
    for (std::uint8_t b : {0x5F, 0x8F}) {
        putCurve(s[b], 6, -1, 1, {128, 102, 83, 70, 64, 64});
        putCurve(s[b], 12, -1, 1, {96, 86, 77, 70, 64, 64});
    }
    // What a tune converted from 1.70 holds in the blocks that layout lacks, the rpm points of the
    // accelerator pump (1000..5000) among them.
    for (const BlockDefault& d : kBlockDefaults)
        s[d.block] = HexToBytes(d.hex);
    // The pump's pulse widths, ms; the older layout keeps only these 20 bytes of words.
    putCurve(s[0x93], 14, -2, 2, {2.0 / 0.004, 1.6 / 0.004, 1.2 / 0.004, 0.9 / 0.004, 0.6 / 0.004});
    putCurve(s[0x93], 24, -2, 2, {1.2 / 0.004, 1.0 / 0.004, 0.8 / 0.004, 0.6 / 0.004, 0.4 / 0.004});
    s[0x5D] = Bytes(s[0x93].begin() + 5, s[0x93].end());

    const Functions functions;
    s[layout.functionSelectBlock] = functionSelect(functions, layout.layout170);
    s[0xA7] = concat({functions.injAirFlowWarn}, HexToBytes("FC031E"));
    s[0xA8] = concat({functions.injAirFlowWarn}, HexToBytes("D4031E"));
    s[0xA9] = concat({functions.knockWarn}, HexToBytes("3C0009"));
    s[0xAA] = concat({functions.o2Feedback}, HexToBytes("0C01"));
    s[0xAC] = Bytes(10, 0x00);
    s[0xAD] = textBlock("", 8);  // custom features off, blank tuner string

    // Boost control in the 13-byte layout: switch position, four boost targets of
    // 0.05 kg/cm2 (0.70..1.00) and two rows of four solenoid settings. 0xAB carries the
    // position, the targets and the second row behind the boost-kit flag.
    const Bytes boost = HexToBytes("000E1012142D32373C1E23282D");
    s[0x5C] = boost;
    s[0xD5] = boost;
    s[0xAB] = concat({functions.boostKit, 0x00}, Bytes(boost.begin(), boost.begin() + 5));
    s[0xAB] = concat(s[0xAB], Bytes(boost.begin() + 9, boost.end()));

    s[layout.airFlowBlock] = airFlowBlock(layout.pressureSensor);

    // Pressure-sensor unit: air temperature and throttle corrections (factors 256 and 128 = 1.000).
    putCurve(s[0xB9], 11, -2, 2, {1.08 * 256, 1.05 * 256, 1.02 * 256, 256, 0.97 * 256, 0.93 * 256});
    putCurve(s[0xBA], 11, -2, 1, {0, 51, 102, 154, 205, 255});
    putCurve(s[0xBA], 12, -2, 1, {128, 128, 131, 134, 138, 141});
    putCurve(s[0xBB], 7, -2, 1, {0, 85, 170, 255});
    putCurve(s[0xBB], 8, -2, 1, {128, 128, 128, 128});

    s[layout.itemNameBlock] = textBlock(itemNames(unit), 80);
    s[unit.olderUnit ? 0x6B : 0xF3] = textBlock(unit.programName, 8);
    s[unit.olderUnit ? 0x6C : 0xF5] = textBlock(unit.versionText, 5);
    s[0xF4] = Bytes{0x00};
    return s;
}

}  // namespace

BlockStore defaultBlocks(const SimUnit& unit) {
    BlockStore all = allBlocks(unit);
    BlockStore out;
    for (const ListedBlock& entry : familyLayout(unit.layout).readAll) {
        Bytes& slot = all[entry.command];
        slot.resize(entry.length, kBlockFiller);
        out[entry.command] = std::move(slot);
    }
    // The older unit answers its name block although Read All does not list it.
    if (unit.olderUnit) out[0x6B] = std::move(all[0x6B]);
    return out;
}

}  // namespace tunalyx
