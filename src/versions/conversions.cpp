#include "versions/conversions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <exception>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>

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

}  // namespace

bool Convert3To5(PacketImage& image, UserPrompts& prompts, bool /*NoDisplay*/) {
    return runConversion(image, prompts, "Error converting from 312 data", [](PacketImage& img) {
        move(img, 0xD6, 0x65);
        move(img, 0xCE, 0x5A);
        move(img, 0xD5, 0x5C);
        move(img, 0xD8, 0x6E);
        move(img, 0xD9, 0x6F);
        move(img, 0xDC, 0x67);
        move(img, 0xDD, 0x69);
    });
}

bool Convert5To3(PacketImage& image, UserPrompts& prompts, bool /*NoDisplay*/) {
    return runConversion(image, prompts, "Error converting to 312 data", [](PacketImage& img) {
        move(img, 0x65, 0xD6);
        move(img, 0x5A, 0xCE);
        move(img, 0x5C, 0xD5);
        move(img, 0x6E, 0xD8);
        move(img, 0x6F, 0xD9);
        move(img, 0x67, 0xDC);
        move(img, 0x69, 0xDD);
    });
}

bool Convert170To5(PacketImage& image, UserPrompts& prompts, bool NoDisplay) {
    return runConversion(
        image, prompts, "Error converting from 170 data", [NoDisplay](PacketImage& img) {
            for (std::uint8_t i = 0; i < 4; ++i) {
                move(img, static_cast<std::uint8_t>(0x86 + i), static_cast<std::uint8_t>(0x56 + i));
                move(img, static_cast<std::uint8_t>(0x81 + i), static_cast<std::uint8_t>(0x52 + i));
            }

            // The boost kit flag lives in the function select block of the older layout.
            img[0xAB] = join({{byteOf(img[0x65], 1), 0x00},
                              bytesOf(img[0x5C], 1, 5),
                              bytesOf(img[0x5C], 10, 4)});
            move(img, 0xD5, 0x5C);
            move(img, 0x8B, 0x60);
            move(img, 0xD6, 0x65);

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
            move(img, 0x8F, 0x5F);
            img[0x93] = join({HexToBytes("7D644B3219"), bytesOf(img[0x5D], 1, 20)});
            img[0x5D].clear();
            move(img, 0x8E, 0x5E);
            img[0x90] = HexToBytes("BE8CAF802E1D");
            img[0x91] = HexToBytes("B499968F78802E1D");
            img[0x94] = HexToBytes("C0C000645900401400");
            move(img, 0x8A, 0x51);
            move(img, 0xCE, 0x5A);
            img[0x96] = HexToBytes("00030609");
            img[0x97] = HexToBytes("2317");
            img[0x98] = HexToBytes("BE05AA00");
            img[0x9B] = HexToBytes("6B562E190F0A");
            img[0x9C] = HexToBytes("354050738CF9");
            img[0x9A] = HexToBytes("96058C038200");
            move(img, 0x8D, 0x5B);
            img[0x92] = HexToBytes("9700C100EE001B0149015D01");
            img[0xAD] = HexToBytes("2020202020202020");

            move(img, 0xD8, 0x6E);
            move(img, 0xD9, 0x6F);
            move(img, 0xDC, 0x67);
            move(img, 0xDD, 0x69);
        });
}

bool Convert5To170(PacketImage& image, UserPrompts& prompts, bool NoDisplay) {
    return runConversion(
        image, prompts, "Error converting to 3.11 data", [NoDisplay](PacketImage& img) {
            for (std::uint8_t i = 0; i < 4; ++i) {
                move(img, static_cast<std::uint8_t>(0x56 + i), static_cast<std::uint8_t>(0x86 + i));
                move(img, static_cast<std::uint8_t>(0x52 + i), static_cast<std::uint8_t>(0x81 + i));
            }

            img[0x5C] = join(
                {bytesOf(img[0xAB], 3, 5), bytesOf(img[0xD5], 6, 4), bytesOf(img[0xAB], 8, 4)});
            img[0xAB].clear();
            move(img, 0x60, 0x8B);
            move(img, 0x65, 0xD6);

            if (!NoDisplay) {
                // The older list has the injector warning as function 3: 2..4 move down one place.
                Bytes& fs = img[0x65];
                putBytes(fs, 3, bytesOf(fs, 2, 3));
                putNames(fs, {"1.Boost cntl kit", "2.Air-Flow Warn.", "3.Injector Warn.",
                              "4.Knock Warning ", "5.O2 F/B Control"});
            }

            clear(img, {0xA7, 0xA8, 0xA9, 0xAA, 0xAC});

            move(img, 0x5F, 0x8F);
            img[0x5D] = bytesOf(img[0x93], 6, 20);
            img[0x93].clear();
            move(img, 0x5E, 0x8E);
            clear(img, {0x90, 0x91, 0x94});
            move(img, 0x51, 0x8A);
            move(img, 0x5A, 0xCE);
            clear(img, {0x96, 0x97, 0x98, 0x9A, 0x9B, 0x9C});
            move(img, 0x5B, 0x8D);
            clear(img, {0x92, 0xAD});

            move(img, 0x6E, 0xD8);
            move(img, 0x6F, 0xD9);
            move(img, 0x67, 0xDC);
            move(img, 0x69, 0xDD);
        });
}

}  // namespace tunalyx
