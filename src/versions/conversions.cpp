#include "versions/conversions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <exception>
#include <functional>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>

#include "versions/family_blocks.h"

namespace tunalyx {

namespace {

// A byte copy reaching past the end of a slot: the conversion stops there with its message.
class SlotTooShort : public std::out_of_range {
public:
    SlotTooShort() : std::out_of_range("slot too short") {}
};

std::size_t at(int pos) {
    return static_cast<std::size_t>(pos - 1);
}

// Bytes pos..pos+count-1 (1-based) of a slot.
Bytes bytesOf(const Bytes& slot, int pos, int count) {
    if (pos < 1 || at(pos) + static_cast<std::size_t>(count) > slot.size()) throw SlotTooShort();
    const auto first = slot.begin() + static_cast<std::ptrdiff_t>(at(pos));
    return Bytes(first, first + count);
}

std::uint8_t byteOf(const Bytes& slot, int pos) {
    return bytesOf(slot, pos, 1).front();
}

// Overwrites bytes from pos (1-based) on; the slot keeps its length.
void putBytes(Bytes& slot, int pos, const Bytes& bytes) {
    if (pos < 1 || at(pos) + bytes.size() > slot.size()) throw SlotTooShort();
    std::copy(bytes.begin(), bytes.end(), slot.begin() + static_cast<std::ptrdiff_t>(at(pos)));
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// to <- from: the slot moves and its old place is left empty.
void move(PacketImage& image, std::uint8_t to, std::uint8_t from) {
    image[to] = std::move(image[from]);
    image[from].clear();
}

void clear(PacketImage& image, std::initializer_list<std::uint8_t> blocks) {
    for (std::uint8_t b : blocks)
        image[b].clear();
}

void putNames(Bytes& slot, const std::array<const char*, 5>& names) {
    for (std::size_t i = 0; i < names.size(); ++i)
        putBytes(slot, 6 + 16 * static_cast<int>(i), bytesFromText(names[i]));
}

bool runConversion(PacketImage& image, UserPrompts& prompts, const char* failureMessage,
                   const std::function<void(PacketImage&)>& steps) {
    try {
        steps(image);
        return true;
    } catch (const std::exception&) {
        prompts.tell(failureMessage, MessageIcon::Critical);
        return false;
    }
}

// Along the pairs towards family 5 or away from it.
void moveTo5(PacketImage& image, std::span<const BlockPair> pairs) {
    for (const BlockPair& p : pairs)
        move(image, p.hub, p.other);
}

void moveFrom5(PacketImage& image, std::span<const BlockPair> pairs) {
    for (const BlockPair& p : pairs)
        move(image, p.other, p.hub);
}

constexpr std::span<const BlockPair> kMaps170 = std::span(kPairs170).first(kMapPairs170);
constexpr std::span<const BlockPair> kOthers170 = std::span(kPairs170).subspan(kMapPairs170);

// The accelerator pump: family 5 keeps five rpm points before the pulse widths, which are all
// the older layout keeps.
constexpr int kPumpPoints = 5;
constexpr int kPumpWidths = 20;

}  // namespace

bool Convert3To5(PacketImage& image, UserPrompts& prompts, bool /*NoDisplay*/) {
    return runConversion(image, prompts, "Error converting from 312 data",
                         [](PacketImage& img) { moveTo5(img, kPairs3); });
}

bool Convert5To3(PacketImage& image, UserPrompts& prompts, bool /*NoDisplay*/) {
    return runConversion(image, prompts, "Error converting to 312 data",
                         [](PacketImage& img) { moveFrom5(img, kPairs3); });
}

bool Convert170To5(PacketImage& image, UserPrompts& prompts, bool NoDisplay) {
    return runConversion(
        image, prompts, "Error converting from 170 data", [NoDisplay](PacketImage& img) {
            moveTo5(img, kMaps170);
            // The boost kit flag lives in the function select block of the older layout.
            img[0xAB] = join({{byteOf(img[0x65], 1), 0x00},
                              bytesOf(img[0x5C], 1, 5),
                              bytesOf(img[0x5C], 10, 4)});
            move(img, 0xD5, 0x5C);
            moveTo5(img, kOthers170);

            if (!NoDisplay) {
                // Function 3 (injector warning) has no place in the newer list; 4 and 5 move up.
                Bytes& fs = img[0xD6];
                putBytes(fs, 3, bytesOf(fs, 4, 2));
                putBytes(fs, 5, {0xFF});
                putNames(fs, {"1.Boost cntl kit", "2.Inj/AirF Warn.", "3.Knock Warning ",
                              "4.O2 F/B Control", "5.O2 Sensor Reg."});
            }

            // Blocks the older layout lacks get defaults; the warning flags follow function select.
            img[0xA7] = join({{byteOf(img[0xD6], 2)}, HexToBytes("FC031E")});
            img[0xA8] = join({{byteOf(img[0xD6], 2)}, HexToBytes("D4031E")});
            img[0xA9] = join({{byteOf(img[0xD6], 3)}, HexToBytes("3C0009")});
            img[0xAA] = join({{byteOf(img[0xD6], 4)}, HexToBytes("0C01")});
            img[0xAC] = Bytes(10, 0x00);
            const Bytes pumpWidths = bytesOf(img[0x5D], 1, kPumpWidths);
            img[0x5D].clear();
            for (const BlockDefault& d : kBlockDefaults)
                img[d.block] = HexToBytes(d.hex);
            Bytes& pump = img[kAccelPumpBlock];
            pump.insert(pump.end(), pumpWidths.begin(), pumpWidths.end());
            img[0xAD] = HexToBytes("2020202020202020");
        });
}

bool Convert5To170(PacketImage& image, UserPrompts& prompts, bool NoDisplay) {
    return runConversion(
        image, prompts, "Error converting to 3.11 data", [NoDisplay](PacketImage& img) {
            moveFrom5(img, kMaps170);
            img[0x5C] = join(
                {bytesOf(img[0xAB], 3, 5), bytesOf(img[0xD5], 6, 4), bytesOf(img[0xAB], 8, 4)});
            img[0xAB].clear();
            moveFrom5(img, kOthers170);

            if (!NoDisplay) {
                // The older list has the injector warning as function 3: 2..4 move down one place.
                Bytes& fs = img[0x65];
                putBytes(fs, 3, bytesOf(fs, 2, 3));
                putNames(fs, {"1.Boost cntl kit", "2.Air-Flow Warn.", "3.Injector Warn.",
                              "4.Knock Warning ", "5.O2 F/B Control"});
            }

            img[0x5D] = bytesOf(img[kAccelPumpBlock], kPumpPoints + 1, kPumpWidths);
            for (const BlockDefault& d : kBlockDefaults)
                img[d.block].clear();
            clear(img, {0xA7, 0xA8, 0xA9, 0xAA, 0xAC, 0xAD});
        });
}

}  // namespace tunalyx
