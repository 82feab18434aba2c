#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/session.h"
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

    // Where the bytes of a block write's data go in the block: names the unit keeps to itself
    // and the older unit's boost bytes 6..9 are not sent.
    [[nodiscard]] std::vector<std::size_t> sentPositions(std::uint8_t cmd,
                                                         std::size_t length) const;
    // A block write through PrepareWrite, showing "Interface not responding!" when refused;
    // noted for the read-back when it went out.
    bool writeBlock(const Bytes& request);
    // The end of a write command: what went out is read back, and whatever the unit did not keep
    // is marked again for Update and named in one message. `written` is whether the write
    // itself completed; the result whether it completed and verified.
    bool checkWritten(bool written);
    // Marks a block for Update again, and those of its map cells that touch `positions`.
    void keepMarked(std::uint8_t block, const std::vector<std::size_t>& positions);

    Session& m_session;
    WrittenBytes m_written;  // of the write command running
    bool m_verifyWrites = true;
    // Set by PrepareWrite when a block with names did not take its write; the caller's own
    // transaction is then a harmless read that succeeds, so only this tells.
    bool m_writeUnverified = false;
};

}  // namespace tunalyx
