#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/packet_link.h"
#include "model/packet_image.h"
#include "versions/layout_family.h"

namespace tunalyx {

inline constexpr std::uint8_t kNameBlock = 0xF3;
inline constexpr std::uint8_t kVersionBlock = 0xF5;
inline constexpr std::uint8_t kOlderNameBlock = 0x6B;
inline constexpr std::uint8_t kOlderVersionBlock = 0x6C;
inline constexpr std::uint8_t kNameLength = 8;
inline constexpr std::uint8_t kVersionLength = 5;

// The identification steps that ask the unit, in the order they must run: the name first, and
// the version only once the name is known to be an SR20DET unit's.

// A bare 0xF3 probe; a unit that answers is read from 0xF3, any other from 0x6B (slot 0xF3 is
// then emptied). False when the read fails (the link has shown its own message).
[[nodiscard]] bool readNameBlock(PacketLink& link, PacketImage& image);
// The program name the image holds: the text of 0xF3, or of 0x6B when that is empty.
[[nodiscard]] std::string programNameOf(const PacketImage& image);
[[nodiscard]] bool isSr20Name(std::string_view name);
// Where the version text lives: 0xF5 beside a name in 0xF3, otherwise 0x6C.
[[nodiscard]] std::uint8_t versionBlockOf(const PacketImage& image);
// The text of the version block the image holds.
[[nodiscard]] std::string versionTextOf(const PacketImage& image);

// Who is on the other end of the line, as its identity blocks say.
struct UnitIdentity {
    std::string programName;  // e.g. "SR20DET1"
    std::string versionText;  // e.g. "5.01 "; empty for a unit that is no SR20DET unit
    bool olderUnit = false;   // answered 0x6B/0x6C instead of 0xF3/0xF5

    [[nodiscard]] std::string key() const { return versionKey(programName, versionText); }
    [[nodiscard]] bool isSr20() const { return isSr20Name(programName); }
    [[nodiscard]] std::optional<LayoutFamily> family() const { return familyOfKey(key()); }
};

// The name and, for an SR20DET unit, the version; nullopt when a read fails.
[[nodiscard]] std::optional<UnitIdentity> readUnitIdentity(PacketLink& link);

}  // namespace tunalyx
