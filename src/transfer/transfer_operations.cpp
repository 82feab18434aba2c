#include "transfer/transfer_operations.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "autotune/target_afr.h"
#include "model/descriptors.h"
#include "transfer/block_names.h"
#include "transfer/write_check.h"
#include "transfer/write_risks.h"
#include "versions/layout_family.h"
#include "versions/version_identification.h"

namespace tunalyx {

namespace {

constexpr std::size_t kAirFlowLength = 107;
constexpr std::size_t kFunctionSelectLength = 85;
// Bytes 2..91 of the air flow block and 6..85 of the function select block are names the unit
// keeps to itself.
constexpr std::size_t kAirFlowNamesEnd = 91;
constexpr std::size_t kFunctionSelectKept = 5;
constexpr std::uint8_t kOlderBoostBlock = 0x5C;
constexpr int kCellsWithoutProgress = 20;
constexpr std::size_t kMapBlockLength = 100;

Bytes withCommand(std::uint8_t command, const Bytes& data) {
    Bytes request;
    request.reserve(data.size() + 1);
    request.push_back(command);
    request.insert(request.end(), data.begin(), data.end());
    return request;
}

// Command byte followed by the first n bytes of the slot (fewer when the slot is shorter).
Bytes blockRequest(const PacketImage& image, std::uint8_t block, std::size_t n) {
    const Bytes& slot = image[block];
    const auto count = static_cast<std::ptrdiff_t>(std::min(n, slot.size()));
    return withCommand(block, Bytes(slot.begin(), slot.begin() + count));
}

std::string mapButton(const char* name, int map) {
    return name + std::to_string(map);
}

std::string mapCaption(int map) {
    return mapTabCaption(map);
}

// The start and end every button command shares: its button off and the busy cursor while it
// runs, and the port taken from nobody (Read All keeps it for itself).
class CommandFrame {
public:
    CommandFrame(Session& session, std::string button, bool takePort)
        : m_session(session),
          m_button(std::move(button)),
          m_port(waitForPort(session, m_button),
                 takePort ? PortBusyGuard::Take::Now : PortBusyGuard::Take::NotYet) {}
    ~CommandFrame() {
        m_session.prompts.setBusy(false);
        m_session.view().setCommandEnabled(m_button, true);
    }
    CommandFrame(const CommandFrame&) = delete;
    CommandFrame& operator=(const CommandFrame&) = delete;

    // Read All lets go of the port before it redisplays everything.
    void releasePort() { m_port.release(); }

private:
    static PortBusyFlag& waitForPort(Session& session, const std::string& button) {
        session.view().setCommandEnabled(button, false);
        session.prompts.setBusy(true);
        while (session.PortBusy)
            session.prompts.yield();
        return session.PortBusy;
    }

    Session& m_session;
    std::string m_button;
    PortBusyGuard m_port;  // cleared when the command ends, however it ends
};

bool identifyUnit(Session& session) {
    return SR20DET_Version(session, {.FromPFC = true, .CheckData = true});
}

std::vector<int> visibleMaps(const Session& session) {
    std::vector<int> maps{kInjMap, kIgnMap};
    if (session.layout.baseMapTabVisible) maps.push_back(kBaseMap);
    return maps;
}

bool isVisibleMap(const Session& session, int map) {
    const std::vector<int> maps = visibleMaps(session);
    return std::find(maps.begin(), maps.end(), map) != maps.end();
}

// The map whose blocks include `block`, among the maps shown.
std::optional<int> visibleMapOf(const Session& session, std::uint8_t block) {
    for (int map : visibleMaps(session)) {
        const auto blocks = session.maps.mapBlocks(map);
        if (std::find(blocks.begin(), blocks.end(), block) != blocks.end()) return map;
    }
    return std::nullopt;
}

// Nothing incomplete or foreign goes out: a write that fails its check sends nothing at all and
// says which blocks stopped it.
bool refusedByCheck(Session& session, const WriteCheck& check) {
    if (check.passed()) return false;
    session.prompts.tell(check.message(), MessageIcon::Critical);
    return true;
}

// What Update would send: the changed blocks and cells of the maps shown, then every other
// flagged block.
WriteCheck updateCheck(const Session& s) {
    WriteCheck check(s.image, s.layout);
    for (int map : visibleMaps(s)) {
        bool pending = s.maps.changedCellCount(map) > 0;
        for (std::uint8_t b : s.maps.mapBlocks(map))
            pending = pending || s.dirty.isSet(b);
        if (pending) check.map(s.maps, map);
    }
    for (int b = 0; b < PacketImage::kSlotCount; ++b) {
        const auto block = static_cast<std::uint8_t>(b);
        if (s.dirty.isSet(block) && !visibleMapOf(s, block)) check.block(block);
    }
    return check;
}

// The bytes a single-cell write request (command, cell index, value) put into its map block.
void noteCell(WrittenBytes& written, const MapGrids& maps, int map, int row, int col,
              const Bytes& request) {
    const CellAddress at = cellAddress(maps.descriptor(map), row, col);
    for (std::size_t i = 3; i < request.size(); ++i)
        written.note(at.block, static_cast<std::size_t>(at.byte) - 1 + (i - 3), request[i]);
}

// The data length a read of the block gives (its Read All length); 0 when the list has none.
std::size_t readLength(const Session& s, std::uint8_t block) {
    return listedLength(s.layout.readAllList, block).value_or(0);
}

// Marks or clears the cells of `map` that lie in `block`: cleared when the block went out, marked
// when it did not and may yet go out cell by cell.
void setCellsOf(MapGrids& maps, int map, std::uint8_t block, bool changed) {
    const MapDescriptor& d = maps.descriptor(map);
    for (int row = 1; row <= kMapRows; ++row)
        for (int col = 1; col <= kMapCols; ++col)
            if (cellAddress(d, row, col).block == block)
                maps.setCellChanged(map, row, col, changed);
}

bool anyCellMarkedIn(const MapGrids& maps, int map, std::uint8_t block) {
    const MapDescriptor& d = maps.descriptor(map);
    for (int row = 1; row <= kMapRows; ++row)
        for (int col = 1; col <= kMapCols; ++col)
            if (maps.CellChanged(map, row, col) && cellAddress(d, row, col).block == block)
                return true;
    return false;
}

// The blocks an Update sends: the flagged and cell-changed ones of the maps shown, then every
// other flagged block.
std::vector<std::uint8_t> updatePlan(const Session& s) {
    std::vector<std::uint8_t> plan;
    for (int map : visibleMaps(s)) {
        const MapDescriptor& d = s.maps.descriptor(map);
        for (std::uint8_t b : s.maps.mapBlocks(map)) {
            bool pending = s.dirty.isSet(b);
            for (int row = 1; row <= kMapRows && !pending; ++row)
                for (int col = 1; col <= kMapCols && !pending; ++col)
                    pending =
                        s.maps.CellChanged(map, row, col) && cellAddress(d, row, col).block == b;
            if (pending) plan.push_back(b);
        }
    }
    for (int b = 0; b < PacketImage::kSlotCount; ++b) {
        const auto block = static_cast<std::uint8_t>(b);
        if (s.dirty.isSet(block) && !visibleMapOf(s, block)) plan.push_back(block);
    }
    return plan;
}

}  // namespace

std::uint8_t LegacyWriteCommand(std::uint8_t command) {
    switch (command) {
        case 0x5A:
            return 0x33;
        case 0x5B:
            return 0x34;
        case 0x5C:
            return 0x35;
        case 0x5D:
            return 0x36;
        case 0x5E:
            return 0x39;
        case 0x5F:
            return 0x3A;
        case 0x60:
            return 0x3B;
        case 0x65:
            return 0x4B;
        default:
            return 0xFF;
    }
}

bool TransferOperations::cmdReadAll_Click() {
    Session& s = m_session;
    CommandFrame frame(s, "cmdReadAll", true);
    beginCommand();
    if (!SR20DET_Version(s, {.FromPFC = true, .CheckData = false})) return false;

    if (s.compareMode) s.view().endCompareMode();
    const PacketImage::Slots kept = s.image.all();
    const BlockList list = s.layout.readAllList;
    bool complete = true;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const ListedBlock& b = list[i];
        // Stopped or failed, a Read All leaves the image as it was: half of each is no tune.
        if (stopRequested()) {
            s.prompts.tell("Read All stopped: the data are as they were before it.",
                           MessageIcon::Exclamation);
            m_stopped = true;
        } else if (!s.link.ReadPacketData(b.command, b.length, s.image[b.command])) {
            s.prompts.tell("Read All Error " + hexText(b.command));
        } else {
            s.prompts.yield();
            if (onProgress) onProgress(i + 1, list.size());
            continue;
        }
        s.image.assign(kept);
        complete = false;
        break;
    }
    if (complete) {
        s.dirty.clearAll();
        s.history.clear();  // the edits were of what the unit held before
        s.view().setUpdateEnabled(false);
        // The unit's own item names have just been read: sensors and switches go by them now,
        // not by what the block held before (nothing, on the first Read All).
        if (s.layout.family) {
            ApplyItemNames(s.image, familyLayout(*s.layout.family).itemNameBlock, s.trace,
                           s.monitorCaptions);
            s.view().layoutChanged();
        }
        s.unitTune = s.tune();
        s.autoTuned.clear();
    }
    frame.releasePort();
    s.view().DisplayAllData();
    return complete;
}

bool TransferOperations::cmdReadMap_Click(int map) {
    Session& s = m_session;
    CommandFrame frame(s, mapButton("cmdReadMap", map), false);
    beginCommand();
    if (!identifyUnit(s)) return false;

    bool complete = true;
    std::vector<std::uint8_t> read;
    for (std::uint8_t b : s.maps.mapBlocks(map)) {
        if (!s.link.ReadPacketData(b, kMapBlockLength, s.image[b])) {
            complete = false;
            break;
        }
        read.push_back(b);
        s.prompts.yield();
    }
    unitHolds(read);
    s.view().GridDisplay(map);
    return complete;
}

bool TransferOperations::WriteMap(int map) {
    return writeMapBlocks(map) == MapWrite::Written;
}

TransferOperations::MapWrite TransferOperations::writeMapBlocks(int map) {
    Session& s = m_session;
    MapGrids& maps = s.maps;
    const std::vector<std::uint8_t> blocks = maps.mapBlocks(map);

    std::size_t refusedAt = blocks.size();
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::uint8_t b = blocks[i];
        if (stopRequested()) {
            // Update may have to send these cell by cell: all of their cells are marked.
            for (std::size_t rest = i; rest < blocks.size(); ++rest) {
                s.dirty.set(blocks[rest]);
                setCellsOf(maps, map, blocks[rest], true);
            }
            return MapWrite::Stopped;
        }
        Bytes request = withCommand(b, s.image[b]);
        if (!s.link.TransactPacket(request, false)) {
            refusedAt = i;
            break;
        }
        m_written.noteWhole(b, s.image[b]);
        s.dirty.clear(b);
        setCellsOf(maps, map, b, false);
        afterPacket();
    }
    if (refusedAt == blocks.size()) {
        maps.clearCellChanged(map);
        return MapWrite::Written;
    }

    // A unit that refuses the block still takes single cells, so every cell goes out. A window
    // that follows the command's progress keeps its one dialog.
    int cellsSent = 0;
    bool failed = false, stopped = false;
    const bool showing = !onProgress;
    if (showing) s.prompts.showProgress("Writing " + mapCaption(map));
    for (int row = 1; row <= kMapRows && !failed && !stopped; ++row) {
        if (showing) s.prompts.setProgress(5 * row);
        if (row > 1) afterPacket();
        for (int col = 1; col <= kMapCols; ++col) {
            if (stopRequested()) {
                stopped = true;
                break;
            }
            const Bytes cell = maps.cellWriteRequest(map, row, col);
            Bytes request = cell;
            if (!s.link.TransactPacket(request, true)) {
                failed = true;
                break;
            }
            noteCell(m_written, maps, map, row, col, cell);
            maps.setCellChanged(map, row, col, false);
            ++cellsSent;
        }
    }
    if (showing) s.prompts.hideProgress();
    if (failed || stopped) {
        // The unit holds the map only in part: the cells it did not get are marked, whether the
        // user changed them or not, so that Update finishes the map.
        for (int cell = cellsSent; cell < kMapRows * kMapCols; ++cell)
            maps.setCellChanged(map, cell / kMapCols + 1, cell % kMapCols + 1, true);
        for (std::size_t rest = refusedAt; rest < blocks.size(); ++rest)
            s.dirty.set(blocks[rest]);
        if (stopped) return MapWrite::Stopped;
        s.prompts.showMessage("Error Writing Map", MessageIcon::Critical, MessageButtons::Ok);
        return MapWrite::Failed;
    }
    for (std::uint8_t b : blocks)
        s.dirty.clear(b);
    afterPacket();
    return MapWrite::Written;
}

bool TransferOperations::cmdWriteMap_Click(int map) {
    Session& s = m_session;
    CommandFrame frame(s, mapButton("cmdWriteMap", map), false);
    beginCommand();
    // Identification may convert the image to the unit's layout: the plan is made after it.
    if (!identifyUnit(s)) return false;
    m_planned = s.maps.mapBlocks(map);
    WriteCheck check(s.image, s.layout);
    if (isVisibleMap(s, map))
        check.map(s.maps, map);
    else
        for (std::uint8_t b : s.maps.mapBlocks(map))
            check.block(b);
    if (refusedByCheck(s, check) || !weighRisks()) return false;

    const MapWrite result = writeMapBlocks(map);
    if (result == MapWrite::Stopped) return stoppedWrite();
    const bool written = checkWritten(result == MapWrite::Written);
    s.view().RefreshUpdateEnabled();
    return written;
}

bool TransferOperations::cmdWriteAll_Click() {
    Session& s = m_session;
    CommandFrame frame(s, "cmdWriteAll", false);
    beginCommand();
    // Identification may convert the image to the unit's layout: the list, the maps and the plan
    // are those of the layout it leaves.
    if (!identifyUnit(s)) return false;
    const BlockList list = s.layout.writeAllList;
    const std::vector<int> maps = visibleMaps(s);
    for (int map : maps)
        for (std::uint8_t b : s.maps.mapBlocks(map))
            m_planned.push_back(b);
    for (const ListedBlock& b : list)
        m_planned.push_back(b.command);
    WriteCheck check(s.image, s.layout);
    for (int map : maps)
        check.map(s.maps, map);
    for (const ListedBlock& b : list)
        check.block(b.command);
    if (refusedByCheck(s, check) || !weighRisks()) return false;

    WriteAllStop stop;
    for (std::size_t m = 0; m < maps.size(); ++m) {
        const MapWrite result = writeMapBlocks(maps[m]);
        if (result != MapWrite::Written) {
            stop.maps.assign(maps.begin() + static_cast<std::ptrdiff_t>(m), maps.end());
            stop.blocks = list;
            stop.mapInPart = true;
            if (result == MapWrite::Stopped) {
                markUnsent(stop);
                return stoppedWrite();
            }
            return checkWritten(stoppedWriteAll(stop));
        }
        stop.sent.push_back(mapCaption(maps[m]));
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        const ListedBlock& b = list[i];
        if (stopRequested()) {
            stop.blocks.assign(list.begin() + static_cast<std::ptrdiff_t>(i), list.end());
            markUnsent(stop);
            return stoppedWrite();
        }
        if (const Transacted sent = writeBlock(blockRequest(s.image, b.command, b.length));
            sent != Transacted::Accepted) {
            if (sent != Transacted::Refused)
                s.prompts.tell("Write All Error " + hexText(b.command));
            stop.blocks.assign(list.begin() + static_cast<std::ptrdiff_t>(i), list.end());
            return checkWritten(stoppedWriteAll(stop));
        }
        s.dirty.clear(b.command);
        stop.sent.push_back(hexText(b.command));
        afterPacket();
    }
    const bool written = checkWritten(true);
    s.view().RefreshUpdateEnabled();
    return written;
}

void TransferOperations::markUnsent(const WriteAllStop& stop) {
    Session& s = m_session;
    for (std::size_t m = 0; m < stop.maps.size(); ++m) {
        const int map = stop.maps[m];
        // A map that never went out goes out whole with the next Update, cell by cell if its
        // blocks are refused; one written in part already has what it did not send marked.
        if (m == 0 && stop.mapInPart) continue;
        for (std::uint8_t b : s.maps.mapBlocks(map))
            s.dirty.set(b);
        for (int cell = 0; cell < kMapRows * kMapCols; ++cell)
            s.maps.setCellChanged(map, cell / kMapCols + 1, cell % kMapCols + 1, true);
    }
    for (const ListedBlock& b : stop.blocks)
        s.dirty.set(b.command);
}

bool TransferOperations::stoppedWriteAll(const WriteAllStop& stop) {
    Session& s = m_session;
    markUnsent(stop);
    std::string notSent;
    auto name = [&notSent](const std::string& text) {
        notSent += (notSent.empty() ? "" : ", ") + text;
    };
    for (std::size_t m = 0; m < stop.maps.size(); ++m) {
        const bool inPart = m == 0 && stop.mapInPart;
        name(mapCaption(stop.maps[m]) + (inPart ? " (in part)" : ""));
    }
    for (const ListedBlock& b : stop.blocks)
        name(hexText(b.command));
    std::string sent;
    for (const std::string& text : stop.sent)
        sent += (sent.empty() ? "" : ", ") + text;
    // The command line's marks end with it: there, what was not sent is only named.
    s.prompts.tell("Write All did not finish.\r\nSent: " + (sent.empty() ? "nothing" : sent) +
                       (m_tellStops ? ".\r\nNot sent, kept marked as changed for Update: "
                                    : ".\r\nNot sent: ") +
                       notSent + ".",
                   MessageIcon::Exclamation);
    s.view().RefreshUpdateEnabled();
    return false;
}

TransferOperations::MapWrite TransferOperations::updateMapCells(int map) {
    Session& s = m_session;
    MapGrids& maps = s.maps;
    const std::vector<std::uint8_t> blocks = maps.mapBlocks(map);
    bool refused = false;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::uint8_t b = blocks[i];
        if (!s.dirty.isSet(b)) continue;
        if (stopRequested()) return MapWrite::Stopped;
        Bytes request = withCommand(b, s.image[b]);
        if (!s.link.TransactPacket(request, false)) {
            refused = true;
            // The cells go out instead. A block flagged with none of its cells marked differs
            // where no cell says: all of its cells go, or its flag would be cleared unsent.
            for (std::size_t rest = i; rest < blocks.size(); ++rest)
                if (s.dirty.isSet(blocks[rest]) && !anyCellMarkedIn(maps, map, blocks[rest]))
                    setCellsOf(maps, map, blocks[rest], true);
            break;
        }
        m_written.noteWhole(b, s.image[b]);
        s.dirty.clear(b);
        setCellsOf(maps, map, b, false);
        afterPacket();
    }
    if (!refused) maps.clearCellChanged(map);

    // A few cells go out without a dialog; more get progress and Cancel, unless a window
    // follows the command's progress in a dialog of its own.
    const int pending = maps.changedCellCount(map);
    const bool showing = pending > kCellsWithoutProgress && !onProgress;
    if (showing) s.prompts.showProgress(std::string("Updating ") + mapCaption(map));
    int sent = 0;
    for (int row = 1; row <= kMapRows; ++row) {
        for (int col = 1; col <= kMapCols; ++col) {
            if (showing) {
                s.prompts.setProgress(100 * sent / pending);
                s.prompts.yield();
            }
            if (!maps.CellChanged(map, row, col)) continue;
            if (stopRequested()) return MapWrite::Stopped;
            const Bytes cell = maps.cellWriteRequest(map, row, col);
            Bytes request = cell;
            if (!s.link.TransactPacket(request, true)) return MapWrite::Failed;
            noteCell(m_written, maps, map, row, col, cell);
            maps.setCellChanged(map, row, col, false);
            if (++sent % kMapCols == 0) afterPacket();
        }
    }
    for (std::uint8_t b : blocks)
        s.dirty.clear(b);
    if (sent > 0) afterPacket();
    return MapWrite::Written;
}

bool TransferOperations::cmdUpdate_Click() {
    const bool complete = updateCommand();
    // Update stays on exactly while something is left to send.
    m_session.view().RefreshUpdateEnabled();
    return complete;
}

bool TransferOperations::updateCommand() {
    Session& s = m_session;
    CommandFrame frame(s, "cmdUpdate", false);
    beginCommand();
    bool complete = false;
    if (!identifyUnit(s)) return false;
    // After identification, which may have converted the image and its flags.
    m_planned = updatePlan(s);
    if (!refusedByCheck(s, updateCheck(s))) {
        if (!weighRisks()) return false;
        MapWrite maps = MapWrite::Written;
        for (int map : visibleMaps(s)) {
            maps = updateMapCells(map);
            if (maps != MapWrite::Written) break;
        }
        if (maps == MapWrite::Stopped) return stoppedWrite();
        if (maps == MapWrite::Written) {
            s.prompts.hideProgress();
            s.prompts.yield();
            complete = true;
            for (int b = 0; b < PacketImage::kSlotCount; ++b) {
                const auto block = static_cast<std::uint8_t>(b);
                if (!s.dirty.isSet(block)) continue;
                if (stopRequested()) return stoppedWrite();
                if (const Transacted sent = writeBlock(withCommand(block, s.image[block]));
                    sent != Transacted::Accepted) {
                    if (sent != Transacted::Refused) s.prompts.tell("Update error");
                    complete = false;
                    break;
                }
                s.dirty.clear(block);
                afterPacket();
            }
        }
    }
    s.prompts.hideProgress();
    return checkWritten(complete);
}

void TransferOperations::beginCommand() {
    m_planned.clear();
    m_heldBack = false;
    m_accepted.clear();
    m_stopAsked.store(false);
    m_stopped = false;
    m_writeUnverified = false;
    m_written.clear();
    m_unkept.clear();
}

bool TransferOperations::stopRequested() {
    if (m_stopAsked.load() || (m_stopFlag && m_stopFlag->load())) return true;
    return m_session.prompts.cancelRequested();
}

void TransferOperations::afterPacket() {
    m_session.prompts.yield();
    if (!onProgress) return;
    // Blocks unmarked before a Write All began count once they have gone out.
    const auto done = static_cast<std::size_t>(
        std::count_if(m_planned.begin(), m_planned.end(),
                      [this](std::uint8_t b) { return m_written.has(b) && !stillMarked(b); }));
    onProgress(done, m_planned.size());
}

bool TransferOperations::stillMarked(std::uint8_t block) const {
    const Session& s = m_session;
    if (s.dirty.isSet(block)) return true;
    const auto map = visibleMapOf(s, block);
    return map && anyCellMarkedIn(s.maps, *map, block);
}

bool TransferOperations::stoppedWrite() {
    Session& s = m_session;
    m_stopped = true;
    s.prompts.hideProgress();
    std::vector<std::uint8_t> inPart;
    for (std::uint8_t b : m_planned)
        if (m_written.has(b) && stillMarked(b)) inPart.push_back(b);
    // A stop ends the sending, not the checking: what went out is read back first, and what the
    // unit did not keep is marked again and counted as not written.
    (void)checkWritten(false);
    std::vector<std::uint8_t> notWritten;
    std::ranges::copy_if(m_planned, std::back_inserter(notWritten),
                         [this](std::uint8_t b) { return stillMarked(b); });
    m_stopSummary = "Stopped: " + std::to_string(m_planned.size() - notWritten.size()) + " of " +
                    std::to_string(m_planned.size()) + " blocks written.";
    if (m_tellStops) {
        std::string text = m_stopSummary;
        if (!notWritten.empty())
            text += " Not written, kept marked for Update: " +
                    blocksByPage(s.tune(), notWritten, inPart) + ".";
        s.prompts.tell(text, MessageIcon::Exclamation);
    }
    s.view().RefreshUpdateEnabled();
    return false;
}

std::optional<PacketImage> TransferOperations::unitImageAfterStop() {
    Session& s = m_session;
    PacketImage held = s.image;
    for (std::uint8_t b : m_planned) {
        if (!stillMarked(b)) continue;
        auto data = s.link.readQuietly(b, readLength(s, b));
        if (!data) return std::nullopt;
        held[b] = std::move(*data);
    }
    return held;
}

std::vector<std::size_t> TransferOperations::sentPositions(std::uint8_t cmd,
                                                           std::size_t length) const {
    const Session& s = m_session;
    std::vector<std::size_t> kept(length);
    std::iota(kept.begin(), kept.end(), std::size_t{0});
    const auto drop = [&kept](std::size_t from, std::size_t to) {
        to = std::min(to, kept.size());
        if (from < to)
            kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(from),
                       kept.begin() + static_cast<std::ptrdiff_t>(to));
    };
    if (cmd == s.layout.airFlowBlock) drop(1, kAirFlowNamesEnd);
    if (cmd == s.layout.functionSelectBlock) drop(kFunctionSelectKept, kept.size());
    // The older unit's boost block goes out without its bytes 6..9.
    if (s.VerNumber.find("1.70") != std::string::npos && cmd == kOlderBoostBlock) drop(5, 9);
    return kept;
}

Transacted TransferOperations::writeBlock(const Bytes& request) {
    const bool unverifiedBefore = std::exchange(m_writeUnverified, false);
    Bytes sent = PrepareWrite(request);
    const bool namesRefused = m_writeUnverified;
    m_writeUnverified = namesRefused || unverifiedBefore;
    // A block with names is written inside PrepareWrite; what is left to send is its bare read.
    const bool bareRead = sent.size() == 1 && request.size() > 1;
    const std::uint8_t block = request[0];
    const Transacted outcome = m_session.link.Transact(sent, false);
    if (outcome != Transacted::Accepted) {
        // A unit that answers "no" is not a silent one, and the user is told which it was.
        if (outcome == Transacted::Refused)
            m_session.prompts.tell(
                "The unit refused block " + blockShownName(m_session.tune(), block) + ".",
                MessageIcon::Critical);
        else
            m_session.prompts.tell(kInterfaceNotResponding);
        return outcome;
    }

    const Bytes data(request.begin() + 1, request.end());
    if (namesRefused) {
        m_written.noteFailed(block);
        return outcome;
    }
    m_written.noteBlock(block, data, sentPositions(block, data.size()));
    // That read came right after the write: it is the read-back, and costs no packet more. A
    // reply of another length is a late acknowledgement of the write, not the block.
    const std::size_t length = readLength(m_session, block);
    if (bareRead && length > 0 && sent.size() == length + 3)
        m_written.noteReadBack(block, Bytes(sent.begin() + 2, sent.end() - 1));
    return outcome;
}

bool TransferOperations::checkWritten(bool written) {
    Session& s = m_session;
    if (!m_verifyWrites || m_written.empty()) {
        m_written.clear();
        unitHoldsWritten();
        return written && !m_writeUnverified;
    }
    const WrittenBytes::Outcome outcome = m_written.readBack(
        [&s](std::uint8_t block) { return s.link.readQuietly(block, readLength(s, block)); });
    m_written.clear();
    for (std::uint8_t block : outcome.told)
        keepMarked(block, {});
    for (const ReadBackProblem& p : outcome.problems)
        keepMarked(p.block, p.positions);
    const bool kept = outcome.problems.empty() && outcome.told.empty();
    // A value a page shows is named as the page shows it; bytes of a block no value holds are
    // named by the block.
    const auto values = [&](const ReadBackProblem& p) {
        const ShownDifferences shown =
            shownDifferences(s.tune(), s.codec.locale(), m_mapReferenceHeadings, p);
        std::vector<std::string> texts;
        for (const UnkeptValue& v : shown.values)
            texts.push_back(v.text());
        if (!texts.empty() && !shown.rest.empty()) {
            ReadBackProblem rest = p;
            rest.positions = shown.rest;
            rest.byte = shown.rest.front() + 1;
            rest.sent = p.sentBlock[shown.rest.front()];
            rest.readBack = shown.rest.front() < p.kept.size() ? p.kept[shown.rest.front()] : 0;
            rest.moreBytes = shown.rest.size() - 1;
            texts.push_back("block " + blockDifference(rest, blockPlace(s.tune(), p.block)));
        }
        m_unkept.insert(m_unkept.end(), shown.values.begin(), shown.values.end());
        return texts;
    };
    if (!outcome.problems.empty())
        s.prompts.tell(
            readBackMessage(
                outcome.problems, [&s](std::uint8_t b) { return blockPlace(s.tune(), b); }, values),
            MessageIcon::Critical);
    if (!kept) s.view().RefreshUpdateEnabled();
    unitHoldsWritten();
    return written && kept && !m_writeUnverified;
}

void TransferOperations::unitHoldsWritten() {
    std::vector<std::uint8_t> written;
    // A block still marked went out in part, or not at all: what the unit holds of it is unknown,
    // and the copy keeps the older bytes, so that they are weighed against again.
    std::ranges::copy_if(m_planned, std::back_inserter(written),
                         [this](std::uint8_t b) { return !stillMarked(b); });
    unitHolds(written);
}

void TransferOperations::unitHolds(const std::vector<std::uint8_t>& blocks) {
    Session& s = m_session;
    if (!s.unitTune || !sameUnit(*s.unitTune)) return;
    for (std::uint8_t b : blocks)
        s.unitTune->image[b] = s.image[b];
}

bool TransferOperations::sameUnit(const Tune& tune) const {
    const Session& s = m_session;
    return tune.VerName == s.VerName && tune.VerNumber == s.VerNumber &&
           tune.layout.family == s.layout.family;
}

const Tune* TransferOperations::unitTune() {
    Session& s = m_session;
    if (s.unitTune && sameUnit(*s.unitTune)) return &*s.unitTune;
    s.unitTune.reset();
    if (unitTuneWhenUnknown)
        if (auto known = unitTuneWhenUnknown(s.tune()); known && sameUnit(*known)) {
            s.unitTune = std::move(known);
            return &*s.unitTune;
        }
    // What the risks weigh is read from the unit; the rest of the copy is never weighed.
    Tune held = s.tune();
    held.dirty.clearAll();
    for (std::uint8_t b : riskBlocks(held)) {
        const std::size_t length = readLength(s, b);
        auto data = s.link.readQuietly(b, length > 0 ? length : kMapBlockLength);
        if (!data) {
            s.prompts.tell(
                "What the unit holds could not be read to weigh the write against it: "
                "nothing was sent.",
                MessageIcon::Critical);
            return nullptr;
        }
        held.image[b] = std::move(*data);
    }
    s.unitTune = std::move(held);
    return &*s.unitTune;
}

bool TransferOperations::weighRisks() {
    Session& s = m_session;
    const Tune* unit = unitTune();
    if (!unit) return false;
    const MapAxes axes = mapAxesOfBlock(s.image[s.mapLayout.MapRefBlock]).value_or(MapAxes{});
    const MapField target = s.targetAfr ? *s.targetAfr : defaultTargetAfr(axes);
    std::vector<std::string> risks =
        writeRisks(*unit, s.tune(), boostRows(target, axes), s.autoTuned, m_planned);
    if (risks.empty()) return true;
    if (s.prompts.showMessage(riskQuestion(risks), MessageIcon::Exclamation,
                              MessageButtons::YesNoDefaultNo) != MessageAnswer::Yes) {
        m_heldBack = true;
        return false;
    }
    m_accepted = std::move(risks);
    return true;
}

void TransferOperations::keepMarked(std::uint8_t block, const std::vector<std::size_t>& positions) {
    Session& s = m_session;
    s.dirty.set(block);
    const auto map = visibleMapOf(s, block);
    if (!map) return;
    // The cells the unit does not hold as sent go out again even when Update sends them one
    // by one.
    const MapDescriptor& d = s.maps.descriptor(*map);
    for (int row = 1; row <= kMapRows; ++row)
        for (int col = 1; col <= kMapCols; ++col) {
            const CellAddress at = cellAddress(d, row, col);
            if (at.block != block) continue;
            const auto first = static_cast<std::size_t>(at.byte) - 1;
            const bool touched =
                std::any_of(positions.begin(), positions.end(), [&](std::size_t p) {
                    return p >= first && p < first + static_cast<std::size_t>(d.width);
                });
            if (touched) s.maps.setCellChanged(*map, row, col, true);
        }
}

Bytes TransferOperations::PrepareWrite(const Bytes& request) {
    Session& s = m_session;
    if (request.empty()) return request;
    const std::uint8_t cmd = request[0];
    Bytes d;
    for (std::size_t p : sentPositions(cmd, request.size() - 1))
        d.push_back(request[p + 1]);

    const bool airFlow = cmd == s.layout.airFlowBlock;
    const bool functionSelect = cmd == s.layout.functionSelectBlock;
    if (s.VerNumber.find("1.70") != std::string::npos) {
        Bytes legacy = withCommand(LegacyWriteCommand(cmd), d);
        (void)s.link.TransactPacket(legacy, false);
        return withCommand(cmd, d);
    }
    if (!airFlow && !functionSelect) return withCommand(cmd, d);

    // Some units take these blocks only through their own write command; whether a write took
    // effect is checked by reading the block back.
    const std::size_t length = airFlow ? kAirFlowLength : kFunctionSelectLength;
    const auto verified = [&] {
        Bytes reply{cmd};
        if (!s.link.TransactPacket(reply, false)) return false;
        if (reply.size() < length + 2) return false;
        Bytes written{reply[0]};
        written.insert(written.end(), reply.begin() + 2,
                       reply.begin() + static_cast<std::ptrdiff_t>(length + 2));
        return written == request;
    };
    Bytes direct = withCommand(cmd, d);
    if (!s.link.TransactPacket(direct, false) && !verified()) {
        Bytes alternate =
            withCommand(airFlow ? kAirFlowWriteCommand : kFunctionSelectWriteCommand, d);
        (void)s.link.TransactPacket(alternate, false);
        if (!verified()) {
            s.prompts.tell(airFlow ? "Airflow Write Error" : "Function Select Write Error",
                           MessageIcon::Critical);
            m_writeUnverified = true;
        }
    }
    return Bytes{cmd};
}

bool TransferOperations::mnuRead_Click(int frameIndex) {
    Session& s = m_session;
    beginCommand();
    if (!identifyUnit(s)) return false;
    const SettingControl* frame = s.settings.find(ControlKind::Frame, frameIndex);
    if (!frame) return false;
    const auto descriptor = parseBlockDescriptor(frame->tag);
    if (!descriptor) return false;
    std::vector<std::uint8_t> read;
    for (const ListedBlock& b : descriptor->blocks) {
        if (!s.link.ReadPacketData(b.command, b.length, s.image[b.command])) break;
        read.push_back(b.command);
    }
    unitHolds(read);
    if (read.size() < descriptor->blocks.size()) return false;
    s.view().DisplayAllData();
    return true;
}

bool TransferOperations::mnuWrite_Click(int frameIndex) {
    Session& s = m_session;
    beginCommand();
    if (!identifyUnit(s)) return false;
    const SettingControl* frame = s.settings.find(ControlKind::Frame, frameIndex);
    if (!frame) return false;
    const auto descriptor = parseBlockDescriptor(frame->tag);
    if (!descriptor || descriptor->blocks.empty()) return false;

    // The second block of a two-block frame keeps its flag for the next Update.
    const ListedBlock first = descriptor->blocks.front();
    m_planned = {first.command};
    WriteCheck check(s.image, s.layout);
    check.block(first.command);
    if (refusedByCheck(s, check) || !weighRisks()) return false;
    if (const Transacted sent = writeBlock(blockRequest(s.image, first.command, first.length));
        sent != Transacted::Accepted) {
        if (sent != Transacted::Refused) s.prompts.tell("Write failed.", MessageIcon::Critical);
        return false;
    }
    s.dirty.clear(first.command);
    const bool written = checkWritten(true);
    s.view().RefreshUpdateEnabled();
    return written;
}

bool TransferOperations::mnuInitAllData_Click() {
    Session& s = m_session;
    if (s.prompts.showMessage("This will Initialise all Power-FC data. Are you Sure?",
                              MessageIcon::Exclamation,
                              MessageButtons::YesNo) != MessageAnswer::Yes)
        return false;
    if (!identifyUnit(s)) return false;
    Bytes request{0xF6, 0x00};
    // Whatever it answers, the unit's data may be gone.
    s.unitTune.reset();
    if (!s.link.TransactPacket(request, true)) return false;
    s.prompts.tell(std::string("You must now Reset the Power-FC for the") + "\r\n" +
                       "Initialisation to complete. (Key-Off, Key-On.)",
                   MessageIcon::Information);
    return true;
}

}  // namespace tunalyx
