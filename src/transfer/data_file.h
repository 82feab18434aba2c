#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ports/file_writer.h"
#include "ports/settings_store.h"
#include "ports/whole_file.h"  // fileNameOf
#include "session/tune_document.h"
#include "session/workspace.h"
#include "versions/tune_file.h"  // the text of a data file, both ways

namespace tunalyx {

// A data file is never larger than this; anything bigger is refused before it is read.
inline constexpr std::uintmax_t kLargestDataFile = 1024 * 1024;

// The whole text of a data file, or nothing after the program's message ("Error opening <name>",
// "<name> is too large to be an SR20DET Data file", "File Format Error", or for a file whose
// lines end in line feeds alone what is wrong with it).
[[nodiscard]] std::optional<std::string> readDataFileContents(UserPrompts& prompts,
                                                              const std::string& path,
                                                              const std::string& shownName);

// Opens a data file into the tune with identification from its data, roll-back and the messages
// of the program ("Error opening <name>", "<name> is not a recognised SR20DET Data file",
// "File Format Error"). `shownName` is the name without folder. True when the file was taken.
bool OpenDataFile(TuneDocument& tune, Workspace& workspace, const std::string& path,
                  const std::string& shownName);
// File > Default: default.dat of the program folder.
bool openDefaultDataFile(TuneDocument& tune, Workspace& workspace);

// Writes the image and notes as a whole new file. Returns an error text, empty on success.
[[nodiscard]] std::string saveDataFile(const Tune& tune, FileWriter& writer,
                                       const std::string& path);
// Save As to a chosen path: the file, then the caption; a failure is shown and changes nothing.
bool saveDataFileAs(TuneDocument& tune, Workspace& workspace, FileWriter& writer,
                    const std::string& path);

// The window caption for a file name ("Tunalyx SR20DET - default.dat").
[[nodiscard]] std::string windowCaption(const std::string& fileName);
// "MapPath": the folder the file dialogs start in, the program's Maps folder until one is used.
[[nodiscard]] std::string mapPath(const SettingsStore& store, const std::string& programFolder);
void rememberMapPath(SettingsStore& store, const std::string& chosenPath);

// The notes as the notes box shows them (line feeds) and back (CR LF).
[[nodiscard]] std::string notesForDisplay(const std::string& notes);
[[nodiscard]] std::string notesFromDisplay(const std::string& shown);

}  // namespace tunalyx
