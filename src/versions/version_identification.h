#pragma once

#include <cstdint>

#include "link/packet_link.h"
#include "ports/user_prompts.h"
#include "versions/tune.h"

namespace tunalyx {

// Where the unsupported-version message asks the user to send the scan. The maintainer sets the
// real address here.
inline constexpr const char* kSupportEmail = "support@tunalyx.invalid";

// How an identification ended.
enum class Identification {
    Identified,  // a supported version: the identity is set, and the layout when asked
    Failed,      // the identity slots are as they were
    // An SR20DET unit of no supported version (only when asking the unit): its identity blocks
    // stay in the image, for the scan that is to follow.
    Unsupported,
};

// What an identification asks and what it does with the answer, named where it is asked for:
// `SR20DET_Version(session, {.FromPFC = true, .CheckData = true})`.
struct VersionCheck {
    bool FromPFC = false;     // ask the connected unit; otherwise read the identity in the image
    bool NoDisplay = false;   // the pages are not shown again (passed on to the conversions)
    bool ApplyLayout = true;  // set the tune up for the family found, converting its image
    bool CheckData = false;   // the D-Jetro/L-Jetro warnings and, asking the unit, the
                              // conversion question
};

// Identifies the version whose identity blocks the tune's image holds and, with ApplyLayout, sets
// the tune up for its family (block lists, map blocks, live commands, labels, Tags, item names,
// tabs), converting the image from the old family when needed. FromPFC is not read here.
[[nodiscard]] Identification identifyVersion(Tune& tune, UserPrompts& prompts,
                                             const VersionCheck& check);
// The same for the connected unit: its name block is read into the image first and, for an
// SR20DET unit, its version block; the identity slots are put back when it fails.
[[nodiscard]] Identification identifyUnitVersion(Tune& tune, UserPrompts& prompts, PacketLink& unit,
                                                 const VersionCheck& check);

// The "&Version" menu: menu 0..4 (SR20DET1, SR20DET2, SR20DET3, SR20DET5, SR20T2-D) and item in
// menu order. Writes the item's name and version into the identity blocks it belongs in and
// empties the other pair; false for an item that does not exist.
bool storeVersionMenuIdentity(PacketImage& image, int menu, int item);

// The 80-character item-name block applied to the monitor captions and the trace-item names.
void ApplyItemNames(const PacketImage& image, std::uint8_t block, TraceItems& trace,
                    MonitorCaptions& captions);

}  // namespace tunalyx
