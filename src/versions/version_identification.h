#pragma once

#include <cstdint>
#include <string>

#include "session/session.h"

namespace tunalyx {

// Where the unsupported-version message asks the user to send the scan. The maintainer sets the
// real address here.
inline constexpr const char* kSupportEmail = "support@tunalyx.invalid";

// Identifies the version of the connected unit (FromPFC) or of the image, finds its layout
// family and, with ApplyLayout, reconfigures the session for it (block lists, map blocks, live
// commands, labels, Tags, item names, tabs) converting the image from the old family when
// needed. CheckData adds the D-Jetro/L-Jetro warnings and the conversion question; NoDisplay
// leaves the redisplay out. True when a supported version was identified.
bool SR20DET_Version(Session& session, bool FromPFC, bool NoDisplay, bool ApplyLayout,
                     bool CheckData);

// The "&Version" menu: menu 0..4 (SR20DET1, SR20DET2, SR20DET3, SR20DET5, SR20T2-D) and item in
// menu order. Stores the identity in the image, identifies (false, false, true, true) and
// redisplays.
void mnuSetVersion_Click(Session& session, int menu, int item);

// Full scan of every command byte of an unsupported unit into the image, with progress and
// Cancel (mnuNonFD3S_Code).
void fullScan(Session& session);

// The 80-character item-name block applied to the monitor captions and the trace-item names.
void ApplyItemNames(const PacketImage& image, std::uint8_t block, TraceItems& trace,
                    MonitorCaptions& captions);

}  // namespace tunalyx
