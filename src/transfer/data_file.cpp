#include "transfer/data_file.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

#include "ports/whole_file.h"
#include "versions/version_identification.h"

namespace tunalyx {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kNotesPrefix = "TT";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A pair with any character that is not a hex digit counts as 0, and is noted.
std::uint8_t hexValue(std::string_view digits, bool& nonHex) {
    int value = 0;
    for (char c : digits) {
        const int d = hexDigit(c);
        if (d < 0) {
            nonHex = true;
            return 0;
        }
        value = value * 16 + d;
    }
    return static_cast<std::uint8_t>(value);
}

// False when a pair of a block line was not hexadecimal.
bool readLine(std::string_view line, PacketImage& image, PacketDirty& dirty, std::string& notes) {
    if (line.substr(0, 2) == kNotesPrefix) {
        notes.append(line.substr(2));
        notes.append(kLineEnd);
        return true;
    }
    if (line.size() < 4) return true;
    bool nonHex = false;
    const std::uint8_t command = hexValue(line.substr(0, 2), nonHex);
    Bytes data;
    data.reserve((line.size() - 1) / 2);
    for (std::size_t i = 2; i < line.size(); i += 2)
        data.push_back(hexValue(line.substr(i, 2), nonHex));
    image[command] = std::move(data);
    dirty.clear(command);
    return !nonHex;
}

}  // namespace

std::string dataFileText(const PacketImage& image, const std::string& notes) {
    std::string text;
    for (int b = 0; b < PacketImage::kSlotCount; ++b) {
        const Bytes& slot = image[static_cast<std::uint8_t>(b)];
        if (slot.empty()) continue;
        text += Hex2(static_cast<std::uint8_t>(b));
        for (std::uint8_t byte : slot)
            text += Hex2(byte);
        text += kLineEnd;
    }
    if (notes.empty()) return text;

    // The piece after the last line break is a line of its own even when empty, so notes that
    // end with a break come back with it.
    std::string_view rest = notes;
    for (;;) {
        const std::size_t end = rest.find(kLineEnd);
        text += kNotesPrefix;
        text += rest.substr(0, end);
        text += kLineEnd;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + kLineEnd.size());
    }
    return text;
}

std::vector<int> readDataFileText(std::string_view text, PacketImage& image, PacketDirty& dirty,
                                  std::string& notes) {
    std::vector<int> nonHexLines;
    // An editor may have put a UTF-8 byte-order mark before the first line; it is no data.
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    for (int line = 1; !text.empty(); ++line) {
        const std::size_t end = text.find('\r');
        if (!readLine(text.substr(0, end), image, dirty, notes)) nonHexLines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
        if (!text.empty() && text.front() == '\n') text.remove_prefix(1);
    }
    return nonHexLines;
}

std::string nonHexWarning(const std::vector<int>& lines, const std::string& shownName) {
    constexpr std::size_t kNamed = 5;
    std::string named;
    const std::size_t shown = std::min(lines.size(), kNamed);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) named += i + 1 == shown && lines.size() <= kNamed ? " and " : ", ";
        named += std::to_string(lines[i]);
    }
    if (lines.size() > kNamed) named += " and " + std::to_string(lines.size() - kNamed) + " more";
    const bool one = lines.size() == 1;
    return (one ? "Line " : "Lines ") + named + " of " + shownName + (one ? " holds" : " hold") +
           " characters that are not hexadecimal digits, and each byte written with them was read "
           "as 0. Check those values before the tune goes to the unit.";
}

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

bool OpenDataFile(Session& session, const std::string& path, const std::string& shownName) {
    const std::optional<std::string> contents =
        readDataFileContents(session.prompts, path, shownName);
    if (!contents) return false;
    if (session.compareMode) session.view().endCompareMode();
    session.prompts.setBusy(true);

    const PacketImage::Slots keptSlots = session.image.all();
    const std::string keptNotes = session.notes;
    session.image.clear();
    session.notes.clear();
    const auto restore = [&] {
        session.image.assign(keptSlots);
        session.notes = keptNotes;
    };

    bool taken = false;
    bool readOk = false;
    std::vector<int> nonHexLines;
    try {
        nonHexLines = readDataFileText(*contents, session.image, session.dirty, session.notes);
        readOk = true;
    } catch (const std::exception&) {
        readOk = false;
    }

    if (!readOk) {
        session.prompts.tell("File Format Error", MessageIcon::Critical);
        restore();
    } else {
        // The version comes from the identity blocks just loaded, not from the unit.
        const std::string keptVersion = session.VerNumber;
        session.VerNumber.clear();
        if (SR20DET_Version(session, {.FromPFC = false, .CheckData = false})) {
            SessionView& view = session.view();
            view.DisplayAllData();
            view.setUpdateEnabled(false);
            session.captionFile = shownName;
            view.setCaptionFile(shownName);
            for (const ListedBlock& b : session.layout.readAllList) {
                Bytes& slot = session.image[b.command];
                if (slot.size() > b.length) slot.resize(b.length);
            }
            taken = true;
            // Edits of the tune before it are history.
            session.history.clear();
        } else {
            session.prompts.tell(shownName + " is not a recognised SR20DET Data file",
                                 MessageIcon::Critical);
            restore();
            // The image is back as it was, and so is what it is known to be.
            session.VerNumber = keptVersion;
        }
    }

    session.prompts.setBusy(false);
    // The notes box shows what a save would write, whichever notes that now is.
    session.view().showNotes();
    session.view().GridLabels();
    // Said once the tune shows, so the values in question can be looked at.
    if (taken && !nonHexLines.empty())
        session.prompts.tell(nonHexWarning(nonHexLines, shownName), MessageIcon::Exclamation);
    return taken;
}

bool openDefaultDataFile(Session& session) {
    const std::filesystem::path path = std::filesystem::path(session.programFolder) / "default.dat";
    return OpenDataFile(session, path.string(), "default.dat");
}

std::string saveDataFile(const Session& session, FileWriter& writer, const std::string& path) {
    return writer.writeWhole(path, dataFileText(session.image, session.notes));
}

bool saveDataFileAs(Session& session, FileWriter& writer, const std::string& path) {
    if (const std::string error = saveDataFile(session, writer, path); !error.empty()) {
        session.prompts.tell(error, MessageIcon::Critical);
        return false;
    }
    // The caption names the file only once the whole file is written.
    session.captionFile = fileNameOf(path);
    session.view().setCaptionFile(session.captionFile);
    return true;
}

std::string windowCaption(const std::string& fileName) {
    return "Tunalyx SR20DET - " + fileName;
}

std::string fileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
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
