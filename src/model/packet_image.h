#pragma once

#include <array>
#include <bitset>
#include <cstdint>

#include "ports/bytes.h"

namespace tunalyx {

// One copy of every data block of the engine computer, indexed by command byte: slot n holds
// the data bytes of block n (no command, length or checksum). Empty until something fills it.
class PacketImage {
public:
    static constexpr int kSlotCount = 256;
    using Slots = std::array<Bytes, kSlotCount>;

    [[nodiscard]] Bytes& operator[](std::uint8_t block) { return m_slots[block]; }
    [[nodiscard]] const Bytes& operator[](std::uint8_t block) const { return m_slots[block]; }
    [[nodiscard]] const Slots& all() const { return m_slots; }
    void assign(const Slots& contents) { m_slots = contents; }
    void clear() {
        for (auto& s : m_slots)
            s.clear();
    }
    friend bool operator==(const PacketImage&, const PacketImage&) = default;

private:
    Slots m_slots;
};

// One changed flag per block: set by an edit that changes a byte of the slot, cleared when the
// block is written to the unit, re-read, or loaded from a file.
class PacketDirty {
public:
    void set(std::uint8_t block) { m_flags.set(block); }
    void clear(std::uint8_t block) { m_flags.reset(block); }
    void clearAll() { m_flags.reset(); }
    [[nodiscard]] bool isSet(std::uint8_t block) const { return m_flags.test(block); }
    [[nodiscard]] bool any() const { return m_flags.any(); }
    [[nodiscard]] std::size_t count() const { return m_flags.count(); }

private:
    std::bitset<PacketImage::kSlotCount> m_flags;
};

}  // namespace tunalyx
