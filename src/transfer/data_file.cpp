#include "transfer/data_file.h"

#include <cerrno>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "versions/version_identification.h"

namespace tunalyx {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kNotesPrefix = "TT";

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A pair with any character that is not a hex digit counts as 0.
std::uint8_t hexValue(std::string_view digits) {
    int value = 0;
    for (char c : digits) {
        const int d = hexDigit(c);
        if (d < 0) return 0;
        value = value * 16 + d;
    }
    return static_cast<std::uint8_t>(value);
}

void readLine(std::string_view line, PacketImage& image, PacketDirty& dirty, std::string& notes) {
    if (line.substr(0, 2) == kNotesPrefix) {
        notes.append(line.substr(2));
        notes.append(kLineEnd);
        return;
    }
    if (line.size() < 4) return;
    const std::uint8_t command = hexValue(line.substr(0, 2));
    Bytes data;
    data.reserve((line.size() - 1) / 2);
    for (std::size_t i = 2; i < line.size(); i += 2)
        data.push_back(hexValue(line.substr(i, 2)));
    image[command] = std::move(data);
    dirty.clear(command);
}

std::string errnoReason() {
    const int e = errno;
    return e != 0 ? std::generic_category().message(e) : std::string("write failed");
}

}  // namespace

std::string Hex2(std::uint8_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
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

void readDataFileText(std::string_view text, PacketImage& image, PacketDirty& dirty,
                      std::string& notes) {
    while (!text.empty()) {
        const std::size_t end = text.find('\r');
        readLine(text.substr(0, end), image, dirty, notes);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
        if (!text.empty() && text.front() == '\n') text.remove_prefix(1);
    }
}

bool OpenDataFile(Session& session, const std::string& path, const std::string& shownName) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    if (!file) {
        session.prompts.tell("Error opening " + shownName, MessageIcon::Critical);
        return false;
    }
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
    try {
        const std::string contents{std::istreambuf_iterator<char>(file),
                                   std::istreambuf_iterator<char>()};
        readOk = !file.bad();
        if (readOk) readDataFileText(contents, session.image, session.dirty, session.notes);
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
        if (SR20DET_Version(session, false, false, true, false)) {
            SessionView& view = session.view();
            view.DisplayAllData();
            view.setUpdateEnabled(false);
            session.captionFile = shownName;
            view.setCaptionFile(shownName);
            for (const BlockSpec& b : session.readAllList) {
                Bytes& slot = session.image[b.command];
                if (slot.size() > b.length) slot.resize(b.length);
            }
            taken = true;
        } else {
            session.prompts.tell(shownName + " is not a recognised SR20DET Data file",
                                 MessageIcon::Critical);
            restore();
            // The image is back as it was, and so is what it is known to be.
            session.VerNumber = keptVersion;
        }
    }

    session.prompts.setBusy(false);
    session.view().GridLabels();
    return taken;
}

bool openDefaultDataFile(Session& session) {
    const std::filesystem::path path = std::filesystem::path(session.programFolder) / "default.dat";
    return OpenDataFile(session, path.string(), "default.dat");
}

std::string saveDataFile(const Session& session, const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    fs::path temp = target;
    temp += ".tmp";
    const std::string text = dataFileText(session.image, session.notes);

    errno = 0;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return "Cannot write " + path + ": " + errnoReason();
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        out.close();
        if (!out) {
            const std::string reason = errnoReason();
            std::error_code ignored;
            fs::remove(temp, ignored);
            return "Cannot write " + path + ": " + reason;
        }
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        return "Cannot write " + path + ": " + ec.message();
    }
    return {};
}

}  // namespace tunalyx
