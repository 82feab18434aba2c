#pragma once

#include "session/tune_document.h"
#include "session/unit_line.h"
#include "session/workspace.h"
#include "versions/version_identification.h"

namespace tunalyx {

// What the main window and every other window share, in three parts: the tune document they
// edit, the line to the unit and the workspace of the user. A core function takes the part it
// uses; one that needs all three takes the session. A test can build two sessions side by side.
class Session : public TuneDocument, public UnitLine, public Workspace {
public:
    Session(SerialPort& port, Clock& clock, UserPrompts& userPrompts,
            LinkSettings linkSettings = {})
        : UnitLine(port, clock, userPrompts, linkSettings), Workspace(userPrompts) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    [[nodiscard]] TuneDocument& document() { return *this; }
    [[nodiscard]] const TuneDocument& document() const { return *this; }
    [[nodiscard]] UnitLine& line() { return *this; }
    [[nodiscard]] Workspace& workspace() { return *this; }
};

// Identifies the version of the connected unit (FromPFC) or of the image and, with ApplyLayout,
// switches the session to its family (converting the image when needed) and shows the pages
// again, unless NoDisplay (see VersionCheck). An SR20DET unit of no supported version is scanned
// whole and the scan offered for saving. True when a supported version was identified.
bool SR20DET_Version(Session& session, const VersionCheck& check);

// The "&Version" menu: menu 0..4 (SR20DET1, SR20DET2, SR20DET3, SR20DET5, SR20T2-D) and item in
// menu order. Stores the identity in the image, identifies it with CheckData and redisplays.
void mnuSetVersion_Click(Session& session, int menu, int item);

// Full scan of every command byte of an unsupported unit into the image, with progress and
// Cancel (mnuNonFD3S_Code).
void fullScan(Session& session);

}  // namespace tunalyx
