#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/descriptors.h"
#include "model/settings_table.h"
#include "ports/bytes.h"

namespace tunalyx {
namespace {

// Scale, offset and display format of a numeric field, kept as the text its Tag carries.
struct Scale {
    const char* scale;
    const char* offset;
    const char* format;
};
constexpr Scale kRaw{"1", "0", "0"};
constexpr Scale kMs{"0.004", "0", "0.000"};
constexpr Scale kCrankMs{"0.004", "0", "0.00"};
constexpr Scale kInjTrimMs{"0.004", "-131.072", "0.00"};  // 0x8000 reads 0.00 ms
constexpr Scale kFactor64{"0.015625", "0", "0.000"};      // 64 = 1.000
constexpr Scale kFactor128{"0.0078125", "0", "0.000"};    // 128 = 1.000
constexpr Scale kFactor256{"0.00390625", "0", "0.000"};   // 256 = 1.000
constexpr Scale kPercent128{"0.390625", "50", "0.0"};     // 128 = 100 %
constexpr Scale kTpsPercent{"0.390625", "0", "0.0"};
constexpr Scale kTempC{"1", "-80", "0"};
constexpr Scale kRpm40{"40", "0", "0"};
constexpr Scale kTimes256{"256", "0", "0"};
constexpr Scale kBoost{"0.05", "0", "0.00"};
constexpr Scale kAirFlowPercent{"0.1", "0", "0.0"};

const std::vector<std::string> kWaterTemps = {"-30C", "-10C", "10C", "30C", "50C", "80C"};
const std::vector<std::string> kRpm1000To5000 = {"1000", "2000", "3000", "4000", "5000"};

std::string fields(int block, std::initializer_list<std::string> rest) {
    std::string out = "&H" + hexText(static_cast<unsigned>(block));
    for (const auto& f : rest)
        out += "," + f;
    return out;
}

std::string param(int block, int pos, int type, Scale s) {
    return fields(block, {std::to_string(pos), std::to_string(type), s.scale, s.offset, s.format});
}

std::vector<std::string> numbered(int count, bool twoDigits = false) {
    std::vector<std::string> out;
    for (int i = 1; i <= count; ++i)
        out.push_back((twoDigits && i < 10 ? "0" : "") + std::to_string(i));
    return out;
}

// "%" in a caption pattern stands for the point's name.
std::string fill(std::string_view pattern, std::string_view point) {
    std::string out(pattern);
    if (auto at = out.find('%'); at != std::string::npos) out.replace(at, 1, point);
    return out;
}

// Appends rows in display order, tracking the current page and frame. Controls the version
// layer never addresses take the next free index of their array.
class TableBuilder {
public:
    explicit TableBuilder(SettingsTable& table) : m_table(table) {
        // Indexes with a fixed meaning elsewhere are never handed out.
        reserve(ControlKind::Text, {10, 11, 254, 257, 258, 259, 260});
        reserveRange(ControlKind::Text, 70, 79);
        reserveRange(ControlKind::Text, 188, 200);
        reserveRange(ControlKind::Label, 5, 11);
        reserve(ControlKind::Label, {100, 101});
        reserveRange(ControlKind::Check, 0, 4);
        reserve(ControlKind::Option, {0, 1, 7, 8});
    }

    void page(int page) { m_page = page; }

    void frame(int index, std::string caption, std::string tag = {}, bool visible = true) {
        m_table.add(
            {ControlKind::Frame, index, m_page, -1, std::move(caption), std::move(tag), visible});
        m_frame = index;
    }
    void hiddenFrame(int index, std::string caption, std::string tag = {}) {
        frame(index, std::move(caption), std::move(tag), false);
    }

    void text(int index, std::string caption, std::string tag) {
        add(ControlKind::Text, index, std::move(caption), std::move(tag));
    }
    void text(std::string caption, std::string tag) {
        text(freeIndex(ControlKind::Text), std::move(caption), std::move(tag));
    }
    void field(std::string caption, int block, int pos, int type, Scale s) {
        text(std::move(caption), param(block, pos, type, s));
    }
    // Points stored at pos, pos + step, ...: one field per point name.
    void series(std::string_view pattern, int block, int pos, int step, int type, Scale s,
                const std::vector<std::string>& points) {
        for (const auto& point : points) {
            field(fill(pattern, point), block, pos, type, s);
            pos += step;
        }
    }
    // Bytes whose meaning is not known: editable raw, captioned by position.
    void rawBytes(int block, int from, int to, std::string_view prefix = {}) {
        for (int pos = from; pos <= to; ++pos)
            field(std::string(prefix) + "Byte " + std::to_string(pos), block, pos, kTypeUnsigned8,
                  kRaw);
    }

    void check(int index, std::string caption, std::string tag) {
        add(ControlKind::Check, index, std::move(caption), std::move(tag));
    }
    void check(std::string caption, std::string tag) {
        check(freeIndex(ControlKind::Check), std::move(caption), std::move(tag));
    }
    void bit(std::string caption, std::string tag) {
        add(ControlKind::CheckBit, freeIndex(ControlKind::CheckBit), std::move(caption),
            std::move(tag));
    }
    void option(int index, std::string caption, std::string tag) {
        add(ControlKind::Option, index, std::move(caption), std::move(tag));
    }
    void option(std::string caption, std::string tag) {
        option(freeIndex(ControlKind::Option), std::move(caption), std::move(tag));
    }
    void label(int index, std::string caption, std::string tag) {
        add(ControlKind::Label, index, std::move(caption), std::move(tag));
    }
    void label(std::string caption, std::string tag) {
        label(freeIndex(ControlKind::Label), std::move(caption), std::move(tag));
    }
    void curve(int index, std::string caption, std::string tag) {
        add(ControlKind::CurveButton, index, std::move(caption), std::move(tag));
    }
    void caption(int index, std::string caption) {
        add(ControlKind::Caption, index, std::move(caption), {});
    }
    void tunerString(std::string caption) {
        add(ControlKind::TunerString, -1, std::move(caption), "&HAD,1,8");
    }
    void notes(std::string caption) { add(ControlKind::Notes, -1, std::move(caption), {}); }
    void airFlowGrid() { add(ControlKind::AirFlowGrid, -1, {}, {}); }

    // The 107-byte air flow layout: byte 1 picks one of five sets named in bytes 2..91.
    void namedSets(int block, std::string_view setPattern) {
        for (int i = 0; i < 5; ++i) {
            const std::string n = std::to_string(i + 1);
            option(fill(setPattern, n), fields(block, {"1", std::to_string(i), "7"}));
            label("Name " + n, fields(block, {std::to_string(2 + 18 * i), "18"}));
        }
    }

private:
    void add(ControlKind kind, int index, std::string caption, std::string tag) {
        m_used.insert({kind, index});
        m_table.add({kind, index, m_page, m_frame, std::move(caption), std::move(tag)});
    }
    int freeIndex(ControlKind kind) {
        int i = 0;
        while (m_used.count({kind, i}))
            ++i;
        return i;
    }
    void reserve(ControlKind kind, std::initializer_list<int> indexes) {
        for (int i : indexes)
            m_used.insert({kind, i});
    }
    void reserveRange(ControlKind kind, int first, int last) {
        for (int i = first; i <= last; ++i)
            m_used.insert({kind, i});
    }

    SettingsTable& m_table;
    std::set<std::pair<ControlKind, int>> m_used;
    int m_page = 1;
    int m_frame = -1;
};

void settings1(TableBuilder& t) {
    t.page(1);
    t.frame(26, "Boost Control", "&HAB,11,&HD5,13");
    t.field("Boost Kit (0 = on)", 0xAB, 1, kTypeUnsigned8, kRaw);
    t.rawBytes(0xAB, 2, 2);
    const int boostOptions[] = {0, 1, 7, 8};
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i + 1);
        t.option(boostOptions[i], "Use Boost " + n, fields(0xAB, {"3", std::to_string(i), "3"}));
        t.text(188 + i, "Boost " + n + " (kg/cm2)", param(0xAB, 4 + i, kTypeUnsigned8, kBoost));
    }
    for (int i = 0; i < 4; ++i)
        t.text(192 + i, "Solenoid A" + std::to_string(i + 1),
               param(0xD5, 6 + i, kTypeUnsigned8, kRaw));
    const int solenoidB[] = {10, 259, 260, 11};
    for (int i = 0; i < 4; ++i)
        t.text(solenoidB[i], "Solenoid B" + std::to_string(i + 1),
               param(0xAB, 8 + i, kTypeUnsigned8, kRaw));
    // The rest of the 13-byte block repeats what 0xAB holds; shown raw.
    t.rawBytes(0xD5, 1, 5, "D5 ");
    t.rawBytes(0xD5, 10, 13, "D5 ");

    t.frame(3, "Air-Flow Warn", "&HA7,4");
    t.field("Flag (0 = on)", 0xA7, 1, kTypeUnsigned8, kRaw);
    t.rawBytes(0xA7, 2, 4);

    const std::vector<std::string> revIdle = {"Rev Limit", "Idle", "Idle (AC on)",
                                              "Idle (Elec Load)", "Idle (Cold)"};
    t.frame(28, "Rev / Idle", "&H8B,12");
    for (int i = 0; i < 5; ++i)
        t.text(196 + i, revIdle[i], param(0x8B, 1 + 2 * i, kTypeUnsigned16, kRaw));
    t.rawBytes(0x8B, 11, 12);
    t.hiddenFrame(1, "Rev / Idle", "&H7A,16");
    t.series("%", 0x7A, 1, 2, kTypeUnsigned16, kRaw, revIdle);
    t.rawBytes(0x7A, 11, 16);

    t.frame(35, "Version", "&HF3,8,&HF5,5");
    t.label(5, "Program", "&HF3,1,8");
    t.label(6, "Version", "&HF5,1,5");

    t.frame(4, "Protect", "&HAC,10");
    t.check("Protect On", "&HAC,1,255");
    t.rawBytes(0xAC, 2, 10);

    t.frame(5, "Injector Warn", "&HA8,4");
    t.field("Flag (0 = on)", 0xA8, 1, kTypeUnsigned8, kRaw);
    t.rawBytes(0xA8, 2, 4);

    t.frame(7, "Knock Warn", "&HA9,4");
    t.field("Flag (0 = on)", 0xA9, 1, kTypeUnsigned8, kRaw);
    t.rawBytes(0xA9, 2, 4);

    t.frame(8, "O2 Feedback", "&HAA,3");
    t.field("Flag (0 = on)", 0xAA, 1, kTypeUnsigned8, kRaw);
    t.rawBytes(0xAA, 2, 3);

    t.frame(36, "Function Select", "&HD6,85");
    for (int i = 0; i < 5; ++i) {
        t.label(7 + i, "Function " + std::to_string(i + 1),
                fields(0xD6, {std::to_string(6 + 16 * i), "16"}));
        t.check(i, "On", fields(0xD6, {std::to_string(i + 1), "0"}));
    }
}

// Older-layout alternatives take 100 + the index of their counterpart, as Air Flow 132 does.
void settings2(TableBuilder& t) {
    t.page(2);
    t.frame(9, "Cranking (mS)", "&H8E,12");
    t.series("WaterT %", 0x8E, 11, -2, kTypeUnsigned16, kCrankMs, kWaterTemps);
    t.curve(6, "Cranking Curve", "6;Const,,,,,,0,-30,-10,10,30,50,80;&H8E,11,-2,2,0.004,0,0.0");
    t.hiddenFrame(109, "Cranking (mS)", "&H5E,12");
    t.series("WaterT %", 0x5E, 11, -2, kTypeUnsigned16, kCrankMs, kWaterTemps);
    t.curve(26, "Cranking Curve", "6;Const,,,,,,0,-30,-10,10,30,50,80;&H5E,11,-2,2,0.004,0,0.0");

    t.frame(11, "Water Temp Correction", "&H8F,14");
    t.series("Corr 1 @ %", 0x8F, 6, -1, kTypeUnsigned8, kFactor64, kWaterTemps);
    t.series("Corr 2 @ %", 0x8F, 12, -1, kTypeUnsigned8, kFactor64, kWaterTemps);
    t.rawBytes(0x8F, 13, 14);
    t.curve(2, "Corr 1 Curve", "6;Const,,,,,,0,-30,-10,10,30,50,80;&H8F,6,-1,1,0.015625,0,0.000");
    t.curve(3, "Corr 2 Curve", "6;Const,,,,,,0,-30,-10,10,30,50,80;&H8F,12,-1,1,0.015625,0,0.000");
    t.hiddenFrame(111, "Water Temp Correction", "&H5F,14");
    t.series("Corr 1 @ %", 0x5F, 6, -1, kTypeUnsigned8, kFactor64, kWaterTemps);
    t.series("Corr 2 @ %", 0x5F, 12, -1, kTypeUnsigned8, kFactor64, kWaterTemps);
    t.rawBytes(0x5F, 13, 14);
    t.curve(8, "Corr 1 Curve", "6;Const,,,,,,0,-30,-10,10,30,50,80;&H5F,6,-1,1,0.015625,0,0.000");
    t.curve(1, "Corr 2 Curve", "6;Const,,,,,,0,-30,-10,10,30,50,80;&H5F,12,-1,1,0.015625,0,0.000");

    t.frame(13, "Accelerate Injector (mS)", "&H93,25");
    t.series("RPM %", 0x93, 5, -1, kTypeUnsigned8, kRpm40, numbered(5));
    t.series("Accel A @ RPM %", 0x93, 14, -2, kTypeUnsigned16, kMs, numbered(5));
    t.series("Accel B @ RPM %", 0x93, 24, -2, kTypeUnsigned16, kMs, numbered(5));
    t.curve(4, "Accel A Curve", "5;&H93,5,-1,1,40,0,0;&H93,14,-2,2,0.004,0,0.000");
    t.curve(5, "Accel B Curve", "5;&H93,5,-1,1,40,0,0;&H93,24,-2,2,0.004,0,0.000");
    t.hiddenFrame(113, "Accelerate Injector (mS)", "&H5D,20");
    t.series("Accel A @ % RPM", 0x5D, 9, -2, kTypeUnsigned16, kMs, kRpm1000To5000);
    t.series("Accel B @ % RPM", 0x5D, 19, -2, kTypeUnsigned16, kMs, kRpm1000To5000);
    t.curve(22, "Accel A Curve",
            "5;Const,,,,,,0,1000,2000,3000,4000,5000;&H5D,9,-2,2,0.004,0,0.000");
    t.curve(18, "Accel B Curve",
            "5;Const,,,,,,0,1000,2000,3000,4000,5000;&H5D,19,-2,2,0.004,0,0.000");

    t.frame(15, "Inj vs Accel TPS1", "&H94,9");
    t.series("TPS %", 0x94, 7, -3, kTypeUnsigned8, kRaw, numbered(3));
    t.series("Inj %", 0x94, 8, -3, kTypeUnsigned16, kRaw, numbered(3));
    t.curve(7, "Curve", "3;&H94,7,-3,1,1,0,0;&H94,8,-3,2,1,0,0");

    t.frame(16, "INJ vs Air Temp and Boost (max)", "&H91,8");
    t.series("AirT % (C)", 0x91, 5, -2, kTypeUnsigned8, kTempC, numbered(3));
    t.series("Inj %", 0x91, 6, -2, kTypeUnsigned8, kFactor128, numbered(3));
    t.series("Boost Max @ AirT %", 0x91, 8, -1, kTypeUnsigned8, kTimes256, {"1", "3"});
    t.curve(11, "Inj Curve", "3;&H91,5,-2,1,1,-80,0;&H91,6,-2,1,0.0078125,0,0.000");
    t.curve(12, "Boost Max Curve", "2;&H91,5,-4,1,1,-80,0;&H91,8,-1,1,256,0,0");

    t.frame(17, "INJ vs Water Temp and Boost (max)", "&H90,6");
    t.series("WaterT % (C)", 0x90, 3, -2, kTypeUnsigned8, kTempC, numbered(2));
    t.series("Inj %", 0x90, 4, -2, kTypeUnsigned8, kFactor128, numbered(2));
    t.series("Boost Max @ WaterT %", 0x90, 6, -1, kTypeUnsigned8, kTimes256, numbered(2));
    t.curve(13, "Inj Curve", "2;&H90,3,-2,1,1,-80,0;&H90,4,-2,1,0.0078125,0,0.000");
    t.curve(14, "Boost Max Curve", "2;&H90,3,-2,1,1,-80,0;&H90,6,-1,1,256,0,0");

    t.hiddenFrame(29, "Inj vs AirTemp", "&HB9,12");
    t.series("AirT %", 0xB9, 11, -2, kTypeUnsigned16, kFactor256, kWaterTemps);
    t.curve(10, "Curve", "6;Const,,,,,,0,-30,-10,10,30,50,80;&HB9,11,-2,2,0.00390625,0,0.000");

    t.hiddenFrame(19, "INJ vs TPS", "&HBA,12");  // pressure-sensor unit only
    t.series("TPS % (%)", 0xBA, 11, -2, kTypeUnsigned8, kTpsPercent, numbered(6));
    t.series("Inj %", 0xBA, 12, -2, kTypeUnsigned8, kFactor128, numbered(6));
    t.curve(9, "Curve", "6;&HBA,11,-2,1,0.390625,0,0.0;&HBA,12,-2,1,0.0078125,0,0.000");

    t.frame(18, "INJ Lag (mS) vs BatV", "&H92,12");
    t.series("Lag @ %V", 0x92, 11, -2, kTypeUnsigned16, kMs, {"6", "8", "10", "12", "14", "16"});
    t.curve(27, "Curve", "6;Const,,,,,,0,6,8,10,12,14,16;&H92,11,-2,2,.004,0,0.000");

    // Twelve signed millisecond trims; the layouts move these boxes between 0x8D and 0x5B.
    t.frame(6, "Injectors", "&H8D,24");
    const int injectorBoxes[] = {70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 257, 258};
    for (int i = 0; i < 12; ++i)
        t.text(injectorBoxes[i], "Adjust " + std::to_string(i + 1) + " (mS)",
               param(0x8D, 1 + 2 * i, kTypeUnsigned16, kInjTrimMs));
}

void settings3(TableBuilder& t) {
    t.page(3);
    t.frame(20, "Map Reference", "&H8A,80");
    t.caption(10, "AirFlow");
    t.series("P%", 0x8A, 1, 2, kTypeUnsigned16, kRaw, numbered(20, true));
    t.caption(11, "RPM");  // the engine speed breakpoints get a caption of their own
    t.series("N%", 0x8A, 41, 2, kTypeUnsigned16, kRaw, numbered(20, true));
    t.curve(15, "Breakpoints", "20;&H8A,1,2,2,1,0,0;&H8A,41,2,2,1,0,0");
    t.hiddenFrame(120, "Map Reference");
    t.curve(29, "Breakpoints", "20,LockX,LockY;&H51,1,2,2,1,0,0;&H51,41,2,2,1,0,0");

    // No meaning is known for the pressure-sensor scaling bytes yet.
    t.hiddenFrame(2, "PIM scale, offset", "&HBC,20,&HBD,1");
    t.rawBytes(0xBC, 1, 20);
    t.rawBytes(0xBD, 1, 1, "BD ");

    const std::vector<std::string> volts = {"0.64", "1.28", "1.92", "2.56",
                                            "3.20", "3.84", "4.48", "5.12"};
    t.frame(32, "Air Flow", "&HCE,107");
    t.namedSets(0xCE, "Meter %");
    t.series("Adjust @ %V (%)", 0xCE, 92, 2, kTypeUnsigned16, kAirFlowPercent, volts);
    t.curve(30, "Adjust Curve",
            "8;Const,,,,,,0.00,0.64,1.28,1.92,2.56,3.20,3.84,4.48,5.12;&HCE,92,2,2,0.1,0,0.0");
    t.hiddenFrame(132, "Air Flow", "&H5A,107");
    t.namedSets(0x5A, "Meter %");
    t.series("Adjust @ %V (%)", 0x5A, 92, 2, kTypeUnsigned16, kAirFlowPercent, volts);
    t.curve(28, "Adjust Curve",
            "8;Const,,,,,,0.00,0.64,1.28,1.92,2.56,3.20,3.84,4.48,5.12;&H5A,92,2,2,0.1,0,0.0");

    // The grid shows the voltage axis and the first two meters; every meter has its button.
    t.frame(22, "Air Flow Curves");
    t.airFlowGrid();
    t.curve(0, "Air Flow 1", "32;&HA0,1,2,2,0.005,0,0.000;&HA1,1,2,2,1,0,0");
    t.curve(17, "Air Flow 2", "32;&HA0,1,2,2,0.005,0,0.000;&HA2,1,2,2,1,0,0");
    t.curve(16, "Air Flow 3", "32;&HA0,1,2,2,0.005,0,0.000;&HA3,1,2,2,1,0,0");
    t.curve(31, "Air Flow 4", "32;&HA0,1,2,2,0.005,0,0.000;&HA4,1,2,2,1,0,0");
    t.curve(32, "Air Flow 5", "32;&HA0,1,2,2,0.005,0,0.000;&HA5,1,2,2,1,0,0");

    // Hidden until a pressure-sensor unit is identified: only that unit has this block.
    t.hiddenFrame(23, "Inj Adjust", "&HCB,107");
    t.namedSets(0xCB, "Set %");
    t.series("Inj @ % RPM (%)", 0xCB, 99, -1, kTypeUnsigned8, kPercent128,
             {"1000", "2000", "3000", "4000", "5000", "6000", "7000", "8000"});
    t.series("Inj @ % kg/cm2 (%)", 0xCB, 100, 1, kTypeUnsigned8, kPercent128,
             {"1.0", "1.5", "2.0", "2.5", "3.0", "3.5", "4.0", "4.5"});
    t.curve(34, "RPM Curve",
            "8;Const,,,,,,0,1000,2000,3000,4000,5000,6000,7000,8000;&HCB,99,-1,1,0.390625,50,0.0");
    t.curve(33, "Boost Curve",
            "8;Const,,,,,,0.0,1,1.5,2,2.5,3,3.5,4,4.5;&HCB,100,1,1,0.390625,50,0.0");
}

void settings4(TableBuilder& t) {
    t.page(4);
    t.frame(24, "IGN vs BatV", "&H9C,6");
    t.series("IGN @ %V", 0x9C, 6, -1, kTypeUnsigned8, kFactor64,
             {"8", "9", "10", "12", "14", "16"});
    t.curve(24, "Curve", "6;Const,,,,,,0,8,9,10,12,14,16;&H9C,6,-1,1,0.015625,0,0.000");

    t.frame(25, "IGN Dwell vs RPM", "&H9B,6");
    t.series("Dwell @ % RPM", 0x9B, 6, -1, kTypeUnsigned8, kRaw,
             {"480", "1000", "2000", "4000", "8000", "10000"});
    t.curve(25, "Curve", "6;Const,,,,,,0,480,1000,2000,4000,8000,10000;&H9B,6,-1,1,1,0,0");

    t.hiddenFrame(31, "IGN vs TPS", "&HBB,8");
    t.series("TPS % (%)", 0xBB, 7, -2, kTypeUnsigned8, kTpsPercent, numbered(4));
    t.series("IGN %", 0xBB, 8, -2, kTypeUnsigned8, kFactor128, numbered(4));
    t.curve(23, "Curve", "4;&HBB,7,-2,1,0.390625,0,0.0;&HBB,8,-2,1,0.0078125,0,0.000");

    t.frame(27, "IGN vs AirT", "&H9A,6");
    t.series("AirT % (C)", 0x9A, 5, -2, kTypeUnsigned8, kTempC, numbered(3));
    t.series("IGN %", 0x9A, 6, -2, kTypeUnsigned8, kRaw, numbered(3));
    t.curve(21, "Curve", "3;&H9A,5,-2,1,1,-80,0;&H9A,6,-2,1,1,0,0");

    t.frame(30, "IGN vs WaterT", "&H98,4");
    t.series("WaterT % (C)", 0x98, 3, -2, kTypeUnsigned8, kTempC, numbered(2));
    t.series("IGN %", 0x98, 4, -2, kTypeUnsigned8, kRaw, numbered(2));
    t.curve(20, "Curve", "2;&H98,3,-2,1,1,-80,0;&H98,4,-2,1,1,0,0");

    t.frame(37, "IGN vs WaterT Cool", "&H96,4");
    t.series("IGN @ %", 0x96, 4, -1, kTypeUnsigned8, kRaw, {"-30C", "-10C", "0C", "60C"});
    t.curve(19, "Curve", "4;Const,,,,,,0,-30,-10,0,60;&H96,4,-1,1,1,0,0");

    t.frame(33, "Boost vs IGN S.F.", "&H97,2");
    t.rawBytes(0x97, 1, 2);
}

void settings5(TableBuilder& t) {
    t.page(5);
    // No Tag: the older and the newer units each answer only one of the two blocks.
    t.frame(38, "Item Names");
    t.label(100, "1.70 / 3", "&H69,1,80");
    t.label(101, "5 / T2-D", "&HDD,1,80");

    t.frame(39, "Telpod Custom Features (Key Off / Key On for changes to take effect)");
    t.bit("Enabled", "&HAD,1,128");
    t.bit("Boost Switch (4)", "&HAD,1,1");
    t.bit("Anti Lag Switch (3)", "&HAD,1,2");
    t.text("IGN Anti Lag Retard", "&HAD,2,129,-1,0,0");
    t.text("INJ Anti Lag", "&HAD,3,1, 0.00390625,0.5,0.00");
    t.tunerString("Tuner");
    t.label("Tuner String", "&HAD,1,8");

    t.frame(40, "Notes");
    t.notes("Notes");
}

}  // namespace

SettingsTable SettingsTable::standard() {
    // Built once: every session starts from a copy, which its version layouts then rewrite.
    static const SettingsTable table = [] {
        SettingsTable built;
        TableBuilder t(built);
        settings1(t);
        settings2(t);
        settings3(t);
        settings4(t);
        settings5(t);
        return built;
    }();
    return table;
}

}  // namespace tunalyx
