#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "link/packet_link.h"
#include "maps/map_grids.h"
#include "maps/map_tracer.h"
#include "model/settings_codec.h"
#include "session/edit_history.h"
#include "session/port_busy.h"
#include "session/session_view.h"
#include "versions/tune.h"
#include "versions/version_identification.h"

namespace tunalyx {

// What the main window and every other window share: the tune (image, flags, notes, identity,
// layout) and what works on it, the codecs, the edit history, the tracer's colours and the link.
// Windows are views of it; a test can build two sessions side by side.
class Session : public Tune {
public:
    Session(SerialPort& port, Clock& clock, UserPrompts& userPrompts,
            LinkSettings linkSettings = {})
        : link(port, clock, userPrompts, linkSettings), prompts(userPrompts) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The tune as it stands: a copy of it holds everything a layout switch may change.
    [[nodiscard]] const Tune& tune() const { return *this; }

    SettingsCodec codec{image, dirty};
    MapGrids maps{image, dirty, mapLayout, cellChanged};
    EditHistory history{image, dirty, maps};  // the user's edits, for undo and redo
    MapColours cellColours;  // the grids' cell backgrounds: ghost trail and compare colours
    MapTracer tracer{cellColours};

    PortBusyFlag PortBusy;
    bool compareMode = false;
    std::string captionFile = "Untitled.Dat";
    std::string programFolder = ".";  // where default.dat lives
    // Base of the folders the file dialogs start in (Maps, Logs, Watchs, Charts) until the
    // user has chosen one.
    std::string filesFolder = ".";

    PacketLink link;
    UserPrompts& prompts;

    // Told of every log file saved (its path as written and its contents), so that the tune
    // history can link the log to the tune the unit held while it was logged.
    std::function<void(const std::string& path, std::string_view contents)> logSaved;

    [[nodiscard]] SessionView& view() { return m_view ? *m_view : m_noView; }
    void setView(SessionView* v) { m_view = v; }

private:
    SessionView m_noView;
    SessionView* m_view = nullptr;
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
