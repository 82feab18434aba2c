#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tunalyx {

// Where the layout families keep the same bytes. Family 5 is the hub: a table pairs blocks of
// family 5 with the blocks another family keeps the same bytes in, and the conversions move along
// it both ways. A block no pair names is kept in the same place by both.
struct BlockPair {
    std::uint8_t hub;    // family 5's block
    std::uint8_t other;  // the other family's
};

inline constexpr BlockPair kPairs3[] = {
    {0xD6, 0x65},  // function select
    {0xCE, 0x5A},  // air flow
    {0xD5, 0x5C},  // boost solenoids
    {0xDD, 0x69},  // item names
    {0xD8, 0x6E}, {0xD9, 0x6F}, {0xDC, 0x67},
};

// The maps come first: they move before anything that can fail, so a tune whose other blocks
// cannot be converted keeps them. Boost control and the accelerator pump are laid out
// differently, not just kept elsewhere: the conversions rebuild them.
inline constexpr BlockPair kPairs170[] = {
    {0x86, 0x56}, {0x87, 0x57}, {0x88, 0x58}, {0x89, 0x59},  // Inj Map
    {0x81, 0x52}, {0x82, 0x53}, {0x83, 0x54}, {0x84, 0x55},  // Ign Map
    {0x8A, 0x51},                                            // map reference
    {0x8B, 0x60},                                            // rev / idle
    {0x8D, 0x5B},                                            // injectors
    {0x8E, 0x5E},                                            // cranking
    {0x8F, 0x5F},                                            // water temperature correction
    {0xCE, 0x5A},                                            // air flow
    {0xD6, 0x65},                                            // function select
    {0xDD, 0x69},                                            // item names
    {0xD8, 0x6E}, {0xD9, 0x6F}, {0xDC, 0x67},
};
inline constexpr std::size_t kMapPairs170 = 8;

// The block a family keeps family 5's `hub` in.
[[nodiscard]] constexpr std::uint8_t blockIn(std::span<const BlockPair> pairs, std::uint8_t hub) {
    for (const BlockPair& p : pairs)
        if (p.hub == hub) return p.other;
    return hub;
}

// What a family 5 tune holds in the blocks 0x90..0x9C that the 1.70 layout lacks, until a tuner
// sets them: a conversion from 1.70 puts these bytes there, and a freshly initialised simulated
// unit holds them too.
struct BlockDefault {
    std::uint8_t block;
    const char* hex;
};
inline constexpr BlockDefault kBlockDefaults[] = {
    {0x90, "BE8CAF802E1D"},              // INJ vs water temperature and boost
    {0x91, "B499968F78802E1D"},          // INJ vs air temperature and boost
    {0x92, "9700C100EE001B0149015D01"},  // INJ lag
    {0x93, "7D644B3219"},  // accelerator pump: its rpm points; the pulse widths are the tune's
    {0x94, "C0C000645900401400"},  // INJ vs accel TPS
    {0x96, "00030609"},            // IGN vs water temperature, cool
    {0x97, "2317"},                // boost vs IGN
    {0x98, "BE05AA00"},            // IGN vs water temperature
    {0x9A, "96058C038200"},        // IGN vs air temperature
    {0x9B, "6B562E190F0A"},        // IGN dwell vs rpm
    {0x9C, "354050738CF9"},        // IGN vs battery voltage
};
inline constexpr std::uint8_t kAccelPumpBlock = 0x93;

}  // namespace tunalyx
