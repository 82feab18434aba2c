#pragma once

#include "model/packet_image.h"
#include "ports/user_prompts.h"

namespace tunalyx {

// The image conversions between layout families; family 5 is the hub. A block kept elsewhere by
// the other family (family_blocks.h) moves there and leaves its old place empty. A failure shows
// its message, leaves the image as far as it got and returns false.
bool Convert170To5(PacketImage& image, UserPrompts& prompts, bool NoDisplay);
bool Convert3To5(PacketImage& image, UserPrompts& prompts, bool NoDisplay);
bool Convert5To3(PacketImage& image, UserPrompts& prompts, bool NoDisplay);
bool Convert5To170(PacketImage& image, UserPrompts& prompts, bool NoDisplay);

}  // namespace tunalyx
