#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/packet_image.h"

namespace tunalyx {

// One axis of a curve: points at pos, pos + step, ... of a block (step may be negative), or a
// list of constant values that the unit does not store.
struct CurveElement {
    bool constant = false;
    int block = 0;
    int pos = 1;  // 1-based position of point 0
    int step = 0;
    int type = 0;  // kTypeUnsigned8 or kTypeUnsigned16; any other type reads as 0
    double scale = 1;
    double offset = 0;
    std::string format;          // display pattern of the values
    std::vector<double> values;  // the constant list, never empty when `constant`

    // 1-based position of point i in its block; 64 bits, since a Tag may carry any step.
    [[nodiscard]] std::int64_t position(int i) const {
        return std::int64_t{pos} + std::int64_t{i} * step;
    }
    // Value of point i: a constant past the end of its list repeats the last one; a point outside
    // its slot (never read or loaded) reads as 0.
    [[nodiscard]] double value(const PacketImage& image, int i) const;
};

// The Tag of a curve button: "N[,LockX][,LockY];X;Y". X is a numeric element
// (block,pos,step,type,scale,offset,format) or "Const,,,,,,format,v0,v1,..."; Y is numeric.
struct CurveDescriptor {
    int count = 0;
    bool lockX = false;
    bool lockY = false;
    CurveElement x;
    CurveElement y;

    // A constant X axis cannot be moved whatever the flags say.
    [[nodiscard]] bool xLocked() const { return lockX || x.constant; }
};

// nullopt for a text without three parts, a count below 1, an element with the wrong number of
// fields or a field that is not a number, a block outside 0..255, a scale of 0, or a constant
// list without values. Head flags other than LockX and LockY are ignored.
[[nodiscard]] std::optional<CurveDescriptor> parseCurveDescriptor(std::string_view tag);

}  // namespace tunalyx
