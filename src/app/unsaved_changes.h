#pragma once

#include <string>

#include "model/packet_image.h"
#include "versions/tune.h"

namespace tunalyx {

// What ending the program now would lose: edits that are neither in the unit nor in a file.
struct WaitingChanges {
    int mapCells = 0;
    int settings = 0;  // a curve, the air flow grid or another block without controls counts once
    [[nodiscard]] bool any() const { return mapCells > 0 || settings > 0; }
    friend bool operator==(const WaitingChanges&, const WaitingChanges&) = default;
};

// "12 map cells and 2 settings have been neither sent to the unit nor saved."
[[nodiscard]] std::string waitingChangesText(const WaitingChanges& waiting);

// Keeps, block by block, the last bytes known to be safe: in the unit or in a data file. A block
// whose changed flag is clear was read from or written to the unit, or came from a file; saving
// keeps everything but leaves the flags, which say what differs from the unit. A byte is waiting
// when its block is flagged and it differs from the safe copy, so an edit taken back by Undo
// waits no more, and a restored tune waits where it differs from the unit.
class UnsavedChanges {
public:
    // After a command with the unit or a file opened: every block without a changed flag is
    // safe as it stands.
    void settle(const Tune& tune);
    // After the tune was saved: all of it is in the file.
    void saved(const Tune& tune);
    [[nodiscard]] WaitingChanges waiting(const Tune& tune) const;

private:
    PacketImage m_safe;
};

}  // namespace tunalyx
