#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "link/packet.h"
#include "ports/bytes.h"
#include "sim/default_blocks.h"
#include "sim/engine_model.h"
#include "sim/engine_options.h"
#include "sim/sim_unit.h"
#include "sim/tuned_engine.h"

namespace tunalyx {

// A virtual engine computer at the protocol level: it answers one request (command byte and
// data, already unframed) with one reply packet, or stays silent.
class SimulatedEcu {
public:
    explicit SimulatedEcu(SimUnitKind kind);

    // The reply packet (framed), or nullopt when the unit does not answer this request.
    // `seconds` is the simulation time, which drives the engine model.
    [[nodiscard]] std::optional<Bytes> handleRequest(const Bytes& request, double seconds);

    // Refuse block writes aimed at `block` with a reply whose first byte is 0xFF or "R".
    void refuseWrites(std::uint8_t block, std::uint8_t refusalByte = 0xFF);
    void acceptWrites(std::uint8_t block) { m_refusals.erase(block); }
    // Refuse block writes sent under this command byte only (the same block may still be
    // written through another command, such as the older unit's legacy ones).
    void refuseCommand(std::uint8_t command) { m_refusedCommands[command] = kRefusalFF; }
    // Byte `byte` (1-based) of `block` is kept one higher than any write sends it, as a unit
    // with a failing memory cell would: the write is acknowledged, only a read-back tells.
    void misstore(std::uint8_t block, std::size_t byte) { m_misstores[block] = byte; }

    [[nodiscard]] const SimUnit& unit() const { return m_unit; }
    [[nodiscard]] const FamilyLayout& layout() const { return familyLayout(m_unit.layout); }
    // Whoever may change a block also makes the engine read the curves again.
    [[nodiscard]] BlockStore& blocks() {
        m_curvesRead = false;
        return m_blocks;
    }
    [[nodiscard]] const BlockStore& blocks() const { return m_blocks; }
    [[nodiscard]] EngineModel& engine() { return m_engine; }

    // From now on the live data come from an engine that answers the tune the unit holds.
    void runTunedEngine(const EngineOptions& options);
    // The engine that answers the tune, when it runs.
    [[nodiscard]] const TunedEngine* tunedEngine() const { return m_tuned.get(); }
    // The warm-up factor and accelerator pump the unit holds now; nothing when their blocks do
    // not hold them.
    [[nodiscard]] const std::optional<FuelCurves>& fuelCurves();

    // The requests received, in order (command byte followed by data): every one of the last
    // kKeptRequests at least; older ones go, so that a unit serving for days stays its size.
    static constexpr std::size_t kKeptRequests = 50'000;
    [[nodiscard]] const std::vector<Bytes>& requests() const { return m_requests; }
    void clearRequestLog() { m_requests.clear(); }

private:
    struct MapTarget {
        std::uint8_t base;
        int width;
    };
    [[nodiscard]] std::optional<MapTarget> cellWriteTarget(std::uint8_t command,
                                                           std::size_t dataLength) const;
    [[nodiscard]] std::optional<Bytes> liveData(std::uint8_t command, double seconds);
    void advanceEngine(double seconds);
    [[nodiscard]] Bytes writeCell(const MapTarget& map, const Bytes& data);
    [[nodiscard]] Bytes writeBlock(std::uint8_t command, const Bytes& data);
    [[nodiscard]] std::uint8_t writeTarget(std::uint8_t command) const;
    // Copies `count` bytes of `from` (from index `src`) into block `target` at 1-based `pos`.
    void store(std::uint8_t target, std::size_t pos, const Bytes& from, std::size_t src,
               std::size_t count);

    SimUnit m_unit;
    BlockStore m_blocks;
    EngineModel m_engine;
    std::unique_ptr<TunedEngine> m_tuned;
    // Read when a block has changed since, not at every request.
    std::optional<FuelCurves> m_curves;
    bool m_curvesRead = false;
    std::map<std::uint8_t, std::uint8_t> m_refusals;
    std::map<std::uint8_t, std::uint8_t> m_refusedCommands;
    std::map<std::uint8_t, std::size_t> m_misstores;  // block -> 1-based byte
    std::vector<Bytes> m_requests;
};

}  // namespace tunalyx
