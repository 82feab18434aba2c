#pragma once

#include <string>

#include "link/packet_link.h"
#include "model/packet_image.h"
#include "model/settings_codec.h"
#include "model/settings_table.h"
#include "versions/layout_family.h"

namespace tunalyx {

// What the main window and every other window share: the image of the engine computer with its
// changed flags, the settings table, the block lists, the identity and the link. Windows are
// views of it; a test can build two sessions side by side.
class Session {
public:
    Session(SerialPort& port, Clock& clock, UserPrompts& userPrompts,
            LinkSettings linkSettings = {})
        : link(port, clock, userPrompts, linkSettings), prompts(userPrompts) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    PacketImage image;
    PacketDirty dirty;
    SettingsCodec codec{image, dirty};
    SettingsTable settings = SettingsTable::standard();
    BlockList readAllList = startupReadAllList();
    BlockList writeAllList = startupWriteAllList();
    std::string VerName;    // program name of the data in the image
    std::string VerNumber;  // version text of the data in the image
    std::string notes;      // the notes kept with the data file
    bool PortBusy = false;
    bool compareMode = false;
    PacketLink link;
    UserPrompts& prompts;
};

}  // namespace tunalyx
