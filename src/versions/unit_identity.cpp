#include "versions/unit_identity.h"

namespace tunalyx {

bool readNameBlock(PacketLink& link, PacketImage& image) {
    // Older units do not know 0xF3 and keep their identity in 0x6B/0x6C.
    Bytes probe{kNameBlock};
    if (link.TransactPacket(probe, false))
        return link.ReadPacketData(kNameBlock, kNameLength, image[kNameBlock]);
    if (!link.ReadPacketData(kOlderNameBlock, kNameLength, image[kOlderNameBlock])) return false;
    image[kNameBlock].clear();
    return true;
}

std::string programNameOf(const PacketImage& image) {
    const Bytes& name = image[kNameBlock].empty() ? image[kOlderNameBlock] : image[kNameBlock];
    return textFromBytes(name, 0, kNameLength);
}

bool isSr20Name(std::string_view name) {
    return name.find("SR20") != std::string_view::npos;
}

std::uint8_t versionBlockOf(const PacketImage& image) {
    return image[kNameBlock].empty() ? kOlderVersionBlock : kVersionBlock;
}

std::string versionTextOf(const PacketImage& image) {
    return textFromBytes(image[versionBlockOf(image)], 0, kVersionLength);
}

std::optional<UnitIdentity> readUnitIdentity(PacketLink& link) {
    PacketImage image;
    if (!readNameBlock(link, image)) return std::nullopt;
    UnitIdentity id;
    id.programName = programNameOf(image);
    id.olderUnit = image[kNameBlock].empty();
    if (!id.isSr20()) return id;
    const std::uint8_t versionBlock = versionBlockOf(image);
    if (!link.ReadPacketData(versionBlock, kVersionLength, image[versionBlock]))
        return std::nullopt;
    id.versionText = versionTextOf(image);
    return id;
}

}  // namespace tunalyx
