#include "versions/unit_identity.h"

namespace tunalyx {

std::optional<UnitIdentity> readUnitIdentity(PacketLink& link) {
    UnitIdentity id;
    Bytes probe{0xF3};
    id.olderUnit = !link.TransactPacket(probe, false);
    const std::uint8_t nameBlock = id.olderUnit ? 0x6B : 0xF3;
    const std::uint8_t versionBlock = id.olderUnit ? 0x6C : 0xF5;
    Bytes name, version;
    if (!link.ReadPacketData(nameBlock, 8, name) || !link.ReadPacketData(versionBlock, 5, version))
        return std::nullopt;
    id.programName = textFromBytes(name);
    id.versionText = textFromBytes(version);
    return id;
}

}  // namespace tunalyx
