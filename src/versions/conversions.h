#pragma once

#include "model/packet_image.h"
#include "ports/user_prompts.h"

namespace tunalyx {

// The image conversions between layout families; family 5 is the hub. "A <- B" moves slot B
// into slot A and empties B. A failure shows its message and leaves the image as far as it got.
void Convert170To5(PacketImage& image, UserPrompts& prompts, bool NoDisplay);
void Convert3To5(PacketImage& image, UserPrompts& prompts, bool NoDisplay);
void Convert5To3(PacketImage& image, UserPrompts& prompts, bool NoDisplay);
void Convert5To170(PacketImage& image, UserPrompts& prompts, bool NoDisplay);

}  // namespace tunalyx
