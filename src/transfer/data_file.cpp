#include "transfer/data_file.h"

#include <filesystem>
#include <vector>

#include "ports/whole_file.h"
#include "versions/tune_file.h"

namespace tunalyx {

std::optional<std::string> readDataFileContents(UserPrompts& prompts, const std::string& path,
                                                const std::string& shownName) {
    // A tune is a few kilobytes; a huge file is something else and is not read into memory.
    std::optional<std::string> contents = readWholeFile(
        prompts, path, kLargestDataFile,
        {"Error opening " + shownName, shownName + " is too large to be an SR20DET Data file",
         "File Format Error"});
    // Read by the rules, such a file would be one long line of nonsense.
    if (contents && contents->find('\r') == std::string::npos &&
        contents->find('\n') != std::string::npos) {
        prompts.tell(shownName +
                         " has lines that end in a line feed alone, as some editors and file "
                         "transfers leave them; the lines of a data file end in CR LF. Convert "
                         "its line ends (unix2dos does this) and open it again.",
                     MessageIcon::Critical);
        return std::nullopt;
    }
    return contents;
}

bool OpenDataFile(TuneDocument& tune, Workspace& workspace, const std::string& path,
                  const std::string& shownName) {
    UserPrompts& prompts = workspace.prompts;
    const std::optional<std::string> contents = readDataFileContents(prompts, path, shownName);
    if (!contents) return false;
    SessionView& view = workspace.view();
    if (tune.compareMode) view.endCompareMode();
    prompts.setBusy(true);

    const std::optional<std::vector<int>> nonHexLines =
        takeTuneFile(tune, *contents, shownName, prompts);
    if (nonHexLines) {
        // The pages are rebuilt for the file's layout before they show its data.
        view.layoutChanged();
        view.DisplayAllData();
        view.setUpdateEnabled(false);
        tune.captionFile = shownName;
        view.setCaptionFile(shownName);
        // Edits of the tune before it are history.
        tune.history.clear();
    }

    prompts.setBusy(false);
    // The notes box shows what a save would write, whichever notes that now is.
    view.showNotes();
    view.GridLabels();
    // Said once the tune shows, so the values in question can be looked at.
    if (nonHexLines && !nonHexLines->empty())
        prompts.tell(nonHexWarning(*nonHexLines, shownName), MessageIcon::Exclamation);
    return nonHexLines.has_value();
}

bool openDefaultDataFile(TuneDocument& tune, Workspace& workspace) {
    const std::filesystem::path path =
        std::filesystem::path(workspace.programFolder) / "default.dat";
    return OpenDataFile(tune, workspace, path.string(), "default.dat");
}

std::string saveDataFile(const Tune& tune, FileWriter& writer, const std::string& path) {
    return writer.writeWhole(path, dataFileText(tune));
}

bool saveDataFileAs(TuneDocument& tune, Workspace& workspace, FileWriter& writer,
                    const std::string& path) {
    if (const std::string error = saveDataFile(tune, writer, path); !error.empty()) {
        workspace.prompts.tell(error, MessageIcon::Critical);
        return false;
    }
    // The caption names the file only once the whole file is written.
    tune.captionFile = fileNameOf(path);
    workspace.view().setCaptionFile(tune.captionFile);
    return true;
}

std::string windowCaption(const std::string& fileName) {
    return "Tunalyx SR20DET - " + fileName;
}

std::string mapPath(const SettingsStore& store, const std::string& programFolder) {
    return store.folder("MapPath", programFolder, "Maps");
}

void rememberMapPath(SettingsStore& store, const std::string& chosenPath) {
    store.rememberFolderOf("MapPath", chosenPath);
}

std::string notesForDisplay(const std::string& notes) {
    std::string shown;
    shown.reserve(notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (notes[i] == '\r' && i + 1 < notes.size() && notes[i + 1] == '\n') continue;
        shown.push_back(notes[i]);
    }
    return shown;
}

std::string notesFromDisplay(const std::string& shown) {
    std::string notes;
    notes.reserve(shown.size() + shown.size() / 16);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == '\r' && i + 1 < shown.size() && shown[i + 1] == '\n') continue;
        if (shown[i] == '\n') notes.push_back('\r');
        notes.push_back(shown[i]);
    }
    return notes;
}

}  // namespace tunalyx
