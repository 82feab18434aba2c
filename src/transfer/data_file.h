#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/session.h"

namespace tunalyx {

// Two upper-case hexadecimal digits.
[[nodiscard]] std::string Hex2(std::uint8_t value);

// The data file text of an image and its notes: a block line per non-empty slot in ascending
// order, then the "TT" notes lines; CR LF line ends.
[[nodiscard]] std::string dataFileText(const PacketImage& image, const std::string& notes);

// Reads data file text into the image by the reader rules (CR LF or CR lines, "TT" notes, short
// lines skipped, odd last digit, non-hex pairs as 0, later lines win). Each slot named is
// replaced and its changed flag cleared; notes lines are appended to `notes`.
void readDataFileText(std::string_view text, PacketImage& image, PacketDirty& dirty,
                      std::string& notes);

// Opens a data file into the session with identification from its data, roll-back and the
// messages of the program ("Error opening <name>", "<name> is not a recognised SR20DET Data file",
// "File Format Error"). `shownName` is the name without folder. True when the file was taken.
bool OpenDataFile(Session& session, const std::string& path, const std::string& shownName);
// File > Default: default.dat of the program folder.
bool openDefaultDataFile(Session& session);

// Writes the image and notes through a temporary file renamed over the target, so a failure
// never leaves half a tune on disk. Returns an error text, empty on success; the caption is the
// caller's to set afterwards.
[[nodiscard]] std::string saveDataFile(const Session& session, const std::string& path);

}  // namespace tunalyx
