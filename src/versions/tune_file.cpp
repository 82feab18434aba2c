#include "versions/tune_file.h"

#include <algorithm>
#include <exception>

#include "ports/whole_file.h"
#include "versions/unit_identity.h"
#include "versions/version_identification.h"

namespace tunalyx {

namespace {

constexpr std::string_view kNotesPrefix = "TT";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::uint8_t kIdentityBlocks[] = {kNameBlock, kVersionBlock, kOlderNameBlock,
                                            kOlderVersionBlock};

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

// False when a pair of the line was not hexadecimal.
bool readBlockLine(std::string_view line, PacketImage& image, PacketDirty& dirty) {
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

std::vector<std::string_view> notesLines(std::string_view notes) {
    std::vector<std::string_view> lines;
    if (notes.empty()) return lines;
    for (;;) {
        const std::size_t end = notes.find(kLineEnd);
        lines.push_back(notes.substr(0, end));
        if (end == std::string_view::npos) return lines;
        notes.remove_prefix(end + kLineEnd.size());
    }
}

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
    for (std::string_view line : notesLines(notes)) {
        text += kNotesPrefix;
        text += line;
        text += kLineEnd;
    }
    return text;
}

std::string notesAsWritten(std::string readNotes) {
    if (readNotes.ends_with(kLineEnd)) readNotes.resize(readNotes.size() - kLineEnd.size());
    return readNotes;
}

std::string dataFileText(const Tune& tune) {
    return dataFileText(tune.image, tune.notes);
}

std::vector<int> readDataFileText(std::string_view text, PacketImage& image, PacketDirty& dirty,
                                  std::string& notes) {
    std::vector<int> nonHexLines;
    notes.clear();
    // An editor may have put a UTF-8 byte-order mark before the first line; it is no data.
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t end = text.find('\r');
        const std::string_view line = text.substr(0, end);
        if (line.starts_with(kNotesPrefix)) {
            notes += line.substr(kNotesPrefix.size());
            notes += kLineEnd;
        } else if (!readBlockLine(line, image, dirty)) {
            nonHexLines.push_back(number);
        }
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

std::optional<std::vector<int>> takeTuneFile(Tune& tune, std::string_view text,
                                             const std::string& shownName, UserPrompts& prompts) {
    const PacketImage::Slots keptSlots = tune.image.all();
    const std::string keptNotes = tune.notes;
    const std::string keptVersion = tune.VerNumber;
    const auto putBack = [&] {
        tune.image.assign(keptSlots);
        tune.notes = keptNotes;
        tune.VerNumber = keptVersion;
    };

    tune.image.clear();
    std::vector<int> nonHexLines;
    try {
        nonHexLines = readDataFileText(text, tune.image, tune.dirty, tune.notes);
    } catch (const std::exception&) {
        prompts.tell("File Format Error", MessageIcon::Critical);
        putBack();
        return std::nullopt;
    }

    // The version comes from the identity blocks just read, and with no version before them the
    // data stay in their own layout.
    tune.VerNumber.clear();
    if (identifyVersion(tune, prompts, {.CheckData = false}) != Identification::Identified) {
        prompts.tell(shownName + " is not a recognised SR20DET Data file", MessageIcon::Critical);
        putBack();
        return std::nullopt;
    }
    for (const ListedBlock& b : tune.layout.readAllList) {
        Bytes& slot = tune.image[b.command];
        if (slot.size() > b.length) slot.resize(b.length);
    }
    return nonHexLines;
}

std::optional<Tune> tuneFileInLayoutOf(const Tune& host, std::string_view text,
                                       const std::string& shownName, UserPrompts& prompts,
                                       NotesAs notes) {
    try {
        // The host's layout, with the text's data and notes.
        Tune file = host;
        file.image.clear();
        readDataFileText(text, file.image, file.dirty, file.notes);
        if (notes == NotesAs::Written) file.notes = notesAsWritten(std::move(file.notes));

        // The file's identity first, without its layout...
        if (identifyVersion(file, prompts,
                            {.NoDisplay = true, .ApplyLayout = false, .CheckData = true}) !=
            Identification::Identified) {
            prompts.tell(shownName + " is not a Recognised SR20DET File", MessageIcon::Critical);
            return std::nullopt;
        }
        // ...then the host's identity again: the file's data are converted to its layout.
        for (std::uint8_t block : kIdentityBlocks)
            file.image[block] = host.image[block];
        if (identifyVersion(file, prompts, {.NoDisplay = true, .CheckData = true}) !=
            Identification::Identified) {
            prompts.tell(
                shownName + " cannot be compared: the window holds no recognised SR20DET data",
                MessageIcon::Critical);
            return std::nullopt;
        }
        // Half-converted data would show differences that are not there; the error was shown.
        if (file.conversionFailed) return std::nullopt;
        return file;
    } catch (const std::exception&) {
        prompts.tell("Error in frmMain.mnuCompare_Click", MessageIcon::Critical);
        return std::nullopt;
    }
}

}  // namespace tunalyx
