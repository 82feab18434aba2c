#include "sim/simulated_ecu.h"

#include <algorithm>

#include "link/packet.h"
#include "versions/layout_family.h"

namespace tunalyx {

namespace {

constexpr std::uint8_t kInitialiseCommand = 0xF6;

// Older units take these commands as writes of the blocks beside them.
std::optional<std::uint8_t> legacyTarget(std::uint8_t command) {
    switch (command) {
        case 0x33:
            return 0x5A;
        case 0x34:
            return 0x5B;
        case 0x35:
            return 0x5C;
        case 0x36:
            return 0x5D;
        case 0x39:
            return 0x5E;
        case 0x3A:
            return 0x5F;
        case 0x3B:
            return 0x60;
        case 0x4B:
            return 0x65;
        default:
            return std::nullopt;
    }
}

Bytes ack(std::uint8_t command) {
    return frameReply(command, {});
}

}  // namespace

SimulatedEcu::SimulatedEcu(SimUnitKind kind)
    : m_unit(simUnit(kind)), m_blocks(defaultBlocks(m_unit)) {}

void SimulatedEcu::refuseWrites(std::uint8_t block, std::uint8_t refusalByte) {
    m_refusals[block] = refusalByte;
}

std::optional<Bytes> SimulatedEcu::handleRequest(const Bytes& request, double seconds) {
    if (request.empty()) return std::nullopt;
    if (m_requests.size() >= 2 * kKeptRequests)
        m_requests.erase(m_requests.begin(), m_requests.end() - kKeptRequests);
    m_requests.push_back(request);
    const std::uint8_t command = request[0];
    const Bytes data(request.begin() + 1, request.end());

    // The older unit keeps its identity in 0x6B/0x6C and does not know 0xF3/0xF5 at all.
    if (m_unit.olderUnit && (command == 0xF3 || command == 0xF5)) return std::nullopt;

    if (data.empty()) {
        if (auto live = liveData(command, seconds)) return frameReply(command, *live);
        // Every command byte gets an answer, so that a full scan can read the whole unit.
        return frameReply(command, m_blocks[command]);
    }
    if (command == kInitialiseCommand && data == Bytes{0x00}) {
        m_blocks = defaultBlocks(m_unit);
        m_curvesRead = false;
        return ack(command);
    }
    if (const auto map = cellWriteTarget(command, data.size())) return writeCell(*map, data);
    return writeBlock(command, data);
}

std::optional<Bytes> SimulatedEcu::liveData(std::uint8_t command, double seconds) {
    const FamilyLayout& l = layout();
    const bool live = command == kAdvancedLiveCmd || command == kAuxLiveCmd ||
                      command == l.basicLiveCmd || command == l.sensorLiveCmd ||
                      command == l.mapLiveCmd;
    if (!live) return std::nullopt;
    advanceEngine(seconds);
    if (command == kAdvancedLiveCmd) return m_engine.advancedBlock();
    if (command == kAuxLiveCmd) return m_engine.auxBlock();
    if (command == l.basicLiveCmd) return m_engine.basicBlock();
    if (command == l.sensorLiveCmd) return m_engine.sensorBlock();
    return m_engine.mapBlock(m_blocks[l.mapRefBlock]);
}

void SimulatedEcu::runTunedEngine(const EngineOptions& options) {
    DriveCycle drive(options.drive, options.seed);
    m_tuned = std::make_unique<TunedEngine>(
        FuelRequirement::forFamily(m_unit.layout, options),
        CurveRequirement::forFamily(m_unit.layout, options),
        KnockLimit::forFamily(m_unit.layout, options),
        [drive](double seconds) mutable { return drive.at(seconds); }, options);
}

const std::optional<FuelCurves>& SimulatedEcu::fuelCurves() {
    if (!m_curvesRead) {
        PacketImage image;
        image.assign(m_blocks);
        m_curves = fuelCurvesOf(image, layout());
        m_curvesRead = true;
    }
    return m_curves;
}

void SimulatedEcu::advanceEngine(double seconds) {
    // The engine burns what the Inj Map holds at this moment and fires on the Ign Map's timing:
    // a cell written since counts.
    const FamilyLayout& l = layout();
    const auto injection = m_tuned ? injectionField(m_blocks, l) : std::nullopt;
    const auto ignition = m_tuned ? ignitionField(m_blocks, l) : std::nullopt;
    const auto axes = m_tuned ? mapAxesOfBlock(m_blocks[l.mapRefBlock]) : std::nullopt;
    if (injection && axes) {
        const auto& curves = fuelCurves();
        m_engine.follow(seconds, m_tuned->advanceTo(
                                     seconds, {*injection, *axes, ignition ? &*ignition : nullptr,
                                               curves ? &*curves : nullptr}));
    } else
        m_engine.advanceTo(seconds);
}

std::optional<SimulatedEcu::MapTarget> SimulatedEcu::cellWriteTarget(std::uint8_t command,
                                                                     std::size_t dataLength) const {
    // A cell write goes to the command byte just below the map's first block and carries the
    // cell index (2 bytes) and the value (1 or 2 bytes).
    const FamilyLayout& l = layout();
    const std::uint8_t base = static_cast<std::uint8_t>(command + 1);
    if ((base == l.injMapBlock || base == l.ignMapBlock) && dataLength == 3)
        return MapTarget{base, 1};
    if (l.baseMapShown && base == kBaseMapBlock && dataLength == 4) return MapTarget{base, 2};
    return std::nullopt;
}

Bytes SimulatedEcu::writeCell(const MapTarget& map, const Bytes& data) {
    const std::size_t k = data[0] + 256u * data[1];
    const std::uint8_t command = static_cast<std::uint8_t>(map.base - 1);
    if (k >= 400) return Bytes{kRefusalFF};
    const std::size_t p = k * static_cast<std::size_t>(map.width);
    const auto target = static_cast<std::uint8_t>(map.base + p / 100);
    Bytes& block = m_blocks[target];
    if (block.size() < 100) block.resize(100, 0);
    store(target, p % 100 + 1, data, 2, static_cast<std::size_t>(map.width));
    return ack(command);
}

std::uint8_t SimulatedEcu::writeTarget(std::uint8_t command) const {
    if (m_unit.olderUnit) {
        if (auto t = legacyTarget(command)) return *t;
    }
    if (command == kAirFlowWriteCommand) return layout().airFlowBlock;
    if (command == kFunctionSelectWriteCommand) return layout().functionSelectBlock;
    return command;
}

void SimulatedEcu::store(std::uint8_t target, std::size_t pos, const Bytes& from, std::size_t src,
                         std::size_t count) {
    Bytes& into = m_blocks[target];
    m_curvesRead = false;
    for (std::size_t i = 0; i < count && pos - 1 + i < into.size() && src + i < from.size(); ++i)
        into[pos - 1 + i] = from[src + i];
    // Only a write that reaches the faulty byte stores it wrongly, so a cell write elsewhere in
    // the block does not move it again.
    const auto fault = m_misstores.find(target);
    if (fault == m_misstores.end()) return;
    const std::size_t byte = fault->second;
    if (byte >= pos && byte < pos + count && byte <= into.size() && src + byte - pos < from.size())
        into[byte - 1] = static_cast<std::uint8_t>(from[src + byte - pos] + 1);
}

Bytes SimulatedEcu::writeBlock(std::uint8_t command, const Bytes& data) {
    // The older unit's write commands have no entry for most blocks; the program then sends
    // under 0xFF, which the unit acknowledges and ignores.
    if (command == kRefusalFF) return ack(command);
    if (const auto r = m_refusedCommands.find(command); r != m_refusedCommands.end())
        return Bytes{r->second};
    const std::uint8_t target = writeTarget(command);
    Bytes& block = m_blocks[target];
    if (const auto r = m_refusals.find(target); r != m_refusals.end()) return Bytes{r->second};
    if (block.empty() || isIdentityBlock(target)) return Bytes{kRefusalFF};

    const FamilyLayout& l = layout();
    if (data.size() == block.size()) {
        store(target, 1, data, 0, data.size());
    } else if (target == l.airFlowBlock && data.size() == 1 + (block.size() - 91)) {
        // The five names (bytes 2..91) are not sent; the unit keeps its own.
        store(target, 1, data, 0, 1);
        store(target, 92, data, 1, data.size() - 1);
    } else if (target == l.functionSelectBlock && data.size() == 5) {
        store(target, 1, data, 0, 5);
    } else if (m_unit.olderUnit && target == 0x5C && data.size() == 9) {
        // The older unit's boost block is written without its bytes 6..9.
        store(target, 1, data, 0, 5);
        store(target, 10, data, 5, 4);
    } else {
        return Bytes{kRefusalFF};
    }
    return ack(command);
}

}  // namespace tunalyx
