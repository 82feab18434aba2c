#pragma once

#include <string_view>

#include "app/session.h"

namespace tunalyx {

// The image conversions between layout families; family 5 is the hub. "A <- B" moves slot B
// into slot A and empties B. A failure shows its message and leaves the image as far as it got.
void Convert170To5(Session& session, bool NoDisplay);
void Convert3To5(Session& session, bool NoDisplay);
void Convert5To3(Session& session, bool NoDisplay);
void Convert5To170(Session& session, bool NoDisplay);

// The sensor label sets (air flow meter or pressure sensor) and the descriptor sets (family
// 1.70 or the standard one) that rewrite frames, captions, Tags, item names and block numbers.
void SetLabelsAirFlow(Session& session);
void SetLabelsPressure(Session& session);
void SetLayout170(Session& session);
void SetLayoutStandard(Session& session);

}  // namespace tunalyx
