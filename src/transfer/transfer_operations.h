#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "session/session.h"
#include "transfer/block_names.h"
#include "transfer/write_read_back.h"

namespace tunalyx {

// The legacy write command of the older unit for a block, 0xFF for blocks it has none for.
[[nodiscard]] std::uint8_t LegacyWriteCommand(std::uint8_t command);

// The commands that move blocks between the image and the unit: Read All, Write All, Update,
// Read/Write Map, the frame popup's Read/Write and Initialise. Each identifies the unit first
// and keeps PacketDirty and the maps' CellChanged flags consistent with what was sent.
// Each returns true when it completed: the unit identified and everything it set out to move
// moved (a block whose write was not verified, a refusal, a cancel or a No all count as not).
// The window has shown its messages by then and may ignore the result; the command line may not.
class TransferOperations {
public:
    explicit TransferOperations(Session& session) : m_session(session) {}

    bool cmdReadAll_Click();
    bool cmdWriteAll_Click();
    bool cmdUpdate_Click();
    bool cmdReadMap_Click(int map);
    bool cmdWriteMap_Click(int map);
    // Popup items of the settings frame FraSettings(frameIndex).
    bool mnuRead_Click(int frameIndex);
    bool mnuWrite_Click(int frameIndex);
    bool mnuInitAllData_Click();

    // Writes one map: its blocks, or cell by cell when a block is refused. True when it was
    // written.
    bool WriteMap(int map);
    // The request a caller sends for a block write (names stripped, legacy and verified writes).
    [[nodiscard]] Bytes PrepareWrite(const Bytes& request);

    // Whether Write All, Update, Write Map and the popup Write read back every block they wrote
    // and keep marked, with a message, what the unit did not keep. On unless switched off.
    void setVerifyWrites(bool on) { m_verifyWrites = on; }
    [[nodiscard]] bool verifyWrites() const { return m_verifyWrites; }
    // Whether a map cell the unit did not keep is headed by the map reference's breakpoints, as
    // the grids show them when asked to; otherwise by N01 / P01. On unless switched off.
    void setMapReferenceHeadings(bool on) { m_mapReferenceHeadings = on; }
    // The values the last command's read-back found not kept, for their pages to mark.
    [[nodiscard]] const std::vector<UnkeptValue>& unkeptValues() const { return m_unkept; }

    // A stop asked for while a command runs (the window closed, a signal to the command line, the
    // progress dialog's Cancel) takes effect between whole packets: the packet in flight is
    // finished, what went out is read back, what was not sent stays marked for Update, and a
    // message says what was and was not written. `flag` is watched as well as requestStop(); it may
    // be set from any thread or a signal handler.
    void requestStop() noexcept { m_stopAsked.store(true); }
    void stopWhen(const std::atomic<bool>& flag) { m_stopFlag = &flag; }
    // Whether the last command ended on such a stop.
    [[nodiscard]] bool stopped() const { return m_stopped; }
    // After a stop, how much went out: "Stopped: 14 of 42 blocks written."
    [[nodiscard]] const std::string& stopSummary() const { return m_stopSummary; }
    // Whether a stop, or a Write All that did not finish, is told with what stays marked for
    // Update (on). The command line, whose marks end with it, tells its own from stopSummary().
    void setTellStops(bool on) { m_tellStops = on; }
    // After a stopped write: the image as the unit now holds it. Where the command wrote, the
    // session's image; the blocks it meant to write and did not are read from the unit (old bytes
    // there, or some cells of a map written one by one). Nothing when a read goes unanswered.
    [[nodiscard]] std::optional<PacketImage> unitImageAfterStop();

    // Before a write's first byte goes out, what it sends is weighed against the tune the unit
    // holds (see write_risks.h), and what is risky is asked about: a No sends nothing and leaves
    // every edit marked. Asked for the tune the unit holds when the session knows none (the
    // command line looks in the history); nothing, or no function: its maps and cuts are read.
    std::function<std::optional<Tune>(const Tune& identified)> unitTuneWhenUnknown;
    // Whether the last write was held back by a No to its risks.
    [[nodiscard]] bool heldBack() const { return m_heldBack; }
    // The risks the user accepted for the last write, for the history to keep.
    [[nodiscard]] const std::vector<std::string>& acceptedRisks() const { return m_accepted; }

    // Told after every block a command has moved whole: how many of the blocks it set out to move
    // are done. The window's progress dialog follows it.
    std::function<void(std::size_t done, std::size_t planned)> onProgress;

private:
    // Where a Write All stopped: what went out, and the maps (the first perhaps in part) and
    // blocks that did not.
    struct WriteAllStop {
        std::vector<std::string> sent;
        std::vector<int> maps;
        bool mapInPart = false;
        BlockList blocks;
    };
    // Marks everything not sent as changed, so that Update finishes the job, and says what went
    // out and what did not. Returns false, the result of the stopped Write All.
    bool stoppedWriteAll(const WriteAllStop& stop);
    // Marks for Update what a Write All stopped at `stop` did not send.
    void markUnsent(const WriteAllStop& stop);

    // Starts a command: nothing written or planned yet, no stop asked. A write sets m_planned once
    // the unit is identified.
    void beginCommand();
    [[nodiscard]] bool stopRequested();
    // After each packet: the window runs (repaints, takes a Cancel), progress is told.
    void afterPacket();
    // A block the command planned that is still marked for Update: flagged, or a map block with
    // a changed cell.
    [[nodiscard]] bool stillMarked(std::uint8_t block) const;
    // Ends a command on a stop: reads back what went out, then says what was and was not
    // written. Returns false.
    bool stoppedWrite();
    enum class MapWrite { Written, Failed, Stopped };
    MapWrite writeMapBlocks(int map);
    MapWrite updateMapCells(int map);
    bool updateCommand();

    // Where the bytes of a block write's data go in the block: names the unit keeps to itself
    // and the older unit's boost bytes 6..9 are not sent.
    [[nodiscard]] std::vector<std::size_t> sentPositions(std::uint8_t cmd,
                                                         std::size_t length) const;
    // A block write through PrepareWrite, showing "Interface not responding!" or the refusal when
    // it failed; noted for the read-back when it went out.
    Transacted writeBlock(const Bytes& request);
    // The end of a write command: what went out is read back, and whatever the unit did not keep
    // is marked again for Update and named in one message. `written` is whether the write
    // itself completed; the result whether it completed and verified.
    bool checkWritten(bool written);
    // The question about the risks of sending m_planned; true to go on.
    bool weighRisks();
    // The tune the unit holds, from the session, the caller or a read; nothing after a message
    // when it cannot be read.
    const Tune* unitTune();
    // The unit now holds these blocks of the image; after a write, those it planned and sent.
    void unitHolds(const std::vector<std::uint8_t>& blocks);
    void unitHoldsWritten();
    // Whether a copy is of the unit the session identified last, in its layout.
    [[nodiscard]] bool sameUnit(const Tune& tune) const;
    // Marks a block for Update again, and those of its map cells that touch `positions`.
    void keepMarked(std::uint8_t block, const std::vector<std::size_t>& positions);

    Session& m_session;
    WrittenBytes m_written;  // of the write command running
    bool m_verifyWrites = true;
    bool m_mapReferenceHeadings = true;
    std::vector<UnkeptValue> m_unkept;  // of the last command
    // Set by PrepareWrite when a block with names did not take its write; the caller's own
    // transaction is then a harmless read that succeeds, so only this tells.
    bool m_writeUnverified = false;
    std::atomic<bool> m_stopAsked = false;
    const std::atomic<bool>* m_stopFlag = nullptr;
    bool m_stopped = false;
    bool m_tellStops = true;
    std::string m_stopSummary;            // of the last stop
    std::vector<std::uint8_t> m_planned;  // of the write command running or last run
    bool m_heldBack = false;
    std::vector<std::string> m_accepted;
};

}  // namespace tunalyx
