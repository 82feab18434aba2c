#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/packet_image.h"
#include "ports/user_prompts.h"
#include "versions/tune.h"

namespace tunalyx {

// A tune as the text of a data file, and that text as a tune in a layout.
//
// The text: a block line per non-empty slot in ascending order (command byte, then the data, in
// hex), then the notes as "TT" lines; CR LF line ends. Reading takes CR LF or CR lines, skips
// lines shorter than four characters, reads an odd last digit alone and a pair that is not hex as
// 0, and lets a later line of a block win. Each notes line read adds its text and a line break to
// the notes, the last one too; notesAsWritten takes that break off again, so notes written and
// read back are byte for byte the notes written (notes never hold a CR alone, which would end a
// line of the file).

// The notes as the file's "TT" lines: split at every CR LF, the piece after the last one a line
// of its own even when empty, so notes that end with a break come back with it. No notes, no
// line.
[[nodiscard]] std::vector<std::string_view> notesLines(std::string_view notes);

[[nodiscard]] std::string dataFileText(const PacketImage& image, const std::string& notes);
// The notes that text written by dataFileText was written from, out of the notes read from it.
[[nodiscard]] std::string notesAsWritten(std::string readNotes);
[[nodiscard]] std::string dataFileText(const Tune& tune);

// Each slot the text names is replaced and its changed flag cleared; `notes` becomes the notes
// lines, each ended by CR LF. Returns the numbers of the block lines (from 1) that held a pair read
// as 0 for not being hexadecimal.
std::vector<int> readDataFileText(std::string_view text, PacketImage& image, PacketDirty& dirty,
                                  std::string& notes);
// The warning for such lines: "Line 12 of <name> holds ..." (up to five lines named).
[[nodiscard]] std::string nonHexWarning(const std::vector<int>& lines,
                                        const std::string& shownName);

// In the two readings below `shownName` is how the caller names the file in its messages
// ("a.dat", "Tune 5").

// The text becomes the tune, in the layout of the file's own version: read, identified, set up
// for its family, each slot cut to the length the family's Read All list gives it. Returns the
// lines with non-hex pairs, for a warning once the tune shows. Nothing after "File Format Error"
// or "<name> is not a recognised SR20DET Data file": the image, notes and identity are as they
// were then, and the blocks the text named have lost their changed flags, as reading leaves them.
[[nodiscard]] std::optional<std::vector<int>> takeTuneFile(Tune& tune, std::string_view text,
                                                           const std::string& shownName,
                                                           UserPrompts& prompts);

// How the notes of a text are taken: as reading gives them, or, for a text this program wrote
// (a tune kept in the history), as they were written.
enum class NotesAs { Read, Written };

// The text's data as `host` would hold them: read into a copy of it, identified, and converted
// to its layout; the copy keeps the host's layout, Tags and identity. Nothing when the text is no
// SR20DET tune, the host holds none or the conversion fails; the reason has been shown then.
[[nodiscard]] std::optional<Tune> tuneFileInLayoutOf(const Tune& host, std::string_view text,
                                                     const std::string& shownName,
                                                     UserPrompts& prompts,
                                                     NotesAs notes = NotesAs::Read);

}  // namespace tunalyx
