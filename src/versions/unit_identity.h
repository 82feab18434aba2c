#pragma once

#include <optional>
#include <string>

#include "link/packet_link.h"
#include "versions/layout_family.h"

namespace tunalyx {

// Who is on the other end of the line, as its identity blocks say.
struct UnitIdentity {
    std::string programName;  // e.g. "SR20DET1"
    std::string versionText;  // e.g. "5.01 "
    bool olderUnit = false;   // answered 0x6B/0x6C instead of 0xF3/0xF5

    [[nodiscard]] std::string key() const { return versionKey(programName, versionText); }
    [[nodiscard]] bool isSr20() const { return programName.find("SR20") != std::string::npos; }
    [[nodiscard]] std::optional<LayoutFamily> family() const { return familyOfKey(key()); }
};

// Probes with a bare 0xF3; a unit that answers is read from 0xF3/0xF5, any other from 0x6B/0x6C.
// nullopt when a read fails (the link has shown its own message).
[[nodiscard]] std::optional<UnitIdentity> readUnitIdentity(PacketLink& link);

}  // namespace tunalyx
