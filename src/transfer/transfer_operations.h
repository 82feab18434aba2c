#pragma once

#include <cstdint>

#include "app/session.h"

namespace tunalyx {

// The legacy write command of the older unit for a block, 0xFF for blocks it has none for.
[[nodiscard]] std::uint8_t LegacyWriteCommand(std::uint8_t command);

// The commands that move blocks between the image and the unit: Read All, Write All, Update,
// Read/Write Map, the frame popup's Read/Write and Initialise. Each identifies the unit first
// and keeps PacketDirty and the maps' CellChanged flags consistent with what was sent.
class TransferOperations {
public:
    explicit TransferOperations(Session& session) : m_session(session) {}

    void cmdReadAll_Click();
    void cmdWriteAll_Click();
    void cmdUpdate_Click();
    void cmdReadMap_Click(int map);
    void cmdWriteMap_Click(int map);
    // Popup items of the settings frame FraSettings(frameIndex).
    void mnuRead_Click(int frameIndex);
    void mnuWrite_Click(int frameIndex);
    void mnuInitAllData_Click();

    // Writes one map: its blocks, or cell by cell when a block is refused. True when it failed.
    bool WriteMap(int map);
    // The request a caller sends for a block write (names stripped, legacy and verified writes).
    [[nodiscard]] Bytes PrepareWrite(const Bytes& request);

private:
    Session& m_session;
};

}  // namespace tunalyx
