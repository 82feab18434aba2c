#include "session/session.h"

#include <cmath>

#include "versions/unit_identity.h"
#include "versions/version_identification.h"

namespace tunalyx {

bool SR20DET_Version(Session& session, const VersionCheck& check) {
    const Identification found =
        check.FromPFC ? identifyUnitVersion(session, session.prompts, session.link, check)
                      : identifyVersion(session, session.prompts, check);
    switch (found) {
        case Identification::Identified:
            if (check.ApplyLayout) {
                // The pages are rebuilt from the rewritten table before they show the data.
                session.view().layoutChanged();
                if (!check.NoDisplay) session.view().DisplayAllData();
            }
            return true;
        case Identification::Failed:
            return false;
        case Identification::Unsupported:
            break;
    }
    const std::string name = programNameOf(session.image);
    const std::string version = versionTextOf(session.image);
    session.prompts.tell(name + " version " + version +
                             " is not yet supported.\r\n"
                             "Please complete the following scan then save and email to\r\n" +
                             kSupportEmail,
                         MessageIcon::Critical);
    fullScan(session);
    // The scan replaced the whole image, identity blocks included: nothing to restore.
    session.captionFile = "scan " + name + " v" + version + ".dat";
    session.view().setCaptionFile(session.captionFile);
    session.view().mnuSaveAs_Click();
    return false;
}

void mnuSetVersion_Click(Session& session, int menu, int item) {
    if (!storeVersionMenuIdentity(session.image, menu, item)) return;
    SR20DET_Version(session, {.FromPFC = false, .CheckData = true});
    session.view().DisplayAllData();
}

void fullScan(Session& session) {
    UserPrompts& prompts = session.prompts;
    prompts.showProgress("Scanning");
    prompts.setBusy(true);
    session.image.clear();

    bool complete = true;
    for (int command = 0; command < PacketImage::kSlotCount; ++command) {
        Bytes request{static_cast<std::uint8_t>(command)};
        std::int32_t timeout = 100;
        if (session.link.TransactPacket(request, false, timeout))
            session.image[static_cast<std::uint8_t>(command)] =
                Bytes(request.begin() + 2, request.end());
        prompts.yield();
        prompts.setProgress(static_cast<int>(std::lround(command / 2.55)));
        if (prompts.cancelRequested()) {
            complete = false;
            break;
        }
    }

    if (complete) {
        session.dirty.clearAll();
        session.view().setUpdateEnabled(false);
    }
    // The port is let go by the command that identified the unit, when it ends.
    prompts.hideProgress();
    session.view().DisplayAllData();
    prompts.setBusy(false);
    session.view().setCommandEnabled("cmdReadAll", true);
}

}  // namespace tunalyx
