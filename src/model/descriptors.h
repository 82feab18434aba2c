#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/block_list.h"

namespace tunalyx {

// The Tag texts of the settings controls: fields separated by ",", no quoting. Block fields are
// "&H"-hexadecimal or decimal; scale and offset use "." whatever the locale.

// Value types of a numeric descriptor.
inline constexpr int kTypeUnsigned8 = 1;
inline constexpr int kTypeSigned8 = 129;
inline constexpr int kTypeUnsigned16 = 2;

// Text box: block,pos,type,scale,offset,format, e.g. "&HCB,99,1,0.390625,50,0.0".
struct ParamDescriptor {
    int block = 0;
    int pos = 0;  // 1-based
    int type = 0;
    double scale = 1;
    double offset = 0;
    std::string format;
};
// Check box: block,pos,value: checked exactly when the byte equals value ("&HAC,1,255").
struct CheckDescriptor {
    int block = 0;
    int pos = 0;
    int value = 0;
};
// Bit check box: block,pos,mask: checked exactly when (byte AND mask) != 0 ("&HAD,1,128").
struct BitDescriptor {
    int block = 0;
    int pos = 0;
    int mask = 0;
};
// Option button: block,pos,value,mask: selected exactly when (byte AND mask) = value.
struct OptionDescriptor {
    int block = 0;
    int pos = 0;
    int value = 0;
    int mask = 0;
};
// Label: block,pos,length: the bytes shown as single-byte text ("&HF3,1,8").
struct LabelDescriptor {
    int block = 0;
    int pos = 0;
    int length = 0;
};
// Frame: block,length[,block,length]...: the blocks its controls show ("&HAB,11,&HD5,13").
struct BlockDescriptor {
    BlockList blocks;
};

// Each parser returns nullopt for a text that does not have its form (wrong field count,
// a field that is not a number, a block outside 0..255, a position below 1, a scale of 0).
[[nodiscard]] std::optional<ParamDescriptor> parseParamDescriptor(std::string_view tag);
[[nodiscard]] std::optional<CheckDescriptor> parseCheckDescriptor(std::string_view tag);
[[nodiscard]] std::optional<BitDescriptor> parseBitDescriptor(std::string_view tag);
[[nodiscard]] std::optional<OptionDescriptor> parseOptionDescriptor(std::string_view tag);
[[nodiscard]] std::optional<LabelDescriptor> parseLabelDescriptor(std::string_view tag);
[[nodiscard]] std::optional<BlockDescriptor> parseBlockDescriptor(std::string_view tag);

// Splits at every "," (an empty text gives one empty field).
[[nodiscard]] std::vector<std::string_view> splitFields(std::string_view text,
                                                        char separator = ',');

}  // namespace tunalyx
