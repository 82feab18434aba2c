// A data file opened the way the program opens one, on a session without a unit: shown whole,
// then converted to each other layout family in turn and saved each time. What is saved must
// open again to the same image.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include "curves/curve_descriptor.h"
#include "fuzz_doubles.h"
#include "ports/closed_serial_port.h"
#include "session/session.h"
#include "transfer/data_file.h"

using namespace tunalyx;

namespace {

// The "&Version" menu item standing for each family, as the command line converts.
struct FamilyItem {
    LayoutFamily family;
    int menu;
    int item;
};
constexpr FamilyItem kFamilies[] = {
    {LayoutFamily::Family170, 0, 0},
    {LayoutFamily::Family3, 1, 1},
    {LayoutFamily::Family5, 0, 2},
    {LayoutFamily::FamilyT2D, 4, 0},
};

// Everything the settings pages and the map tabs would show.
void show(const Session& s) {
    const SettingsCodec& codec = s.codec;
    for (const SettingControl& c : s.settings.controls()) {
        switch (c.kind) {
            case ControlKind::Text:
                (void)codec.DisplayData(c.tag);
                break;
            case ControlKind::Check:
                (void)codec.IsSettingChecked(c.tag);
                break;
            case ControlKind::CheckBit:
                (void)codec.IsSettingBitSet(c.tag);
                break;
            case ControlKind::Option:
                (void)codec.IsOptionSelected(c.tag);
                break;
            case ControlKind::Label:
            case ControlKind::TunerString:
                (void)codec.SettingText(c.tag);
                break;
            case ControlKind::CurveButton:
                if (const auto d = parseCurveDescriptor(c.tag))
                    for (int i = 0; i < d->count; ++i) {
                        (void)formatValue(d->x.value(s.image, i), d->x.format, codec.locale());
                        (void)formatValue(d->y.value(s.image, i), d->y.format, codec.locale());
                    }
                break;
            default:
                break;
        }
    }
    (void)s.maps.columnLabels(true);
    (void)s.maps.rowLabels(true);
    for (int grid = 0; grid < kMapGridCount; ++grid) {
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col)
                (void)s.maps.cellText(grid, row, col);
    }
}

class FileSession {
public:
    FileSession() : session(port, clock, prompts) { session.maps.GridInit(); }

    ClosedSerialPort port;  // a session that only works on files
    ManualClock clock;
    fuzz::BitPrompts prompts;
    Session session;
};

// OpenDataFile reads a path, so each input goes through one file of this process.
struct InputFile {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("tunalyx-fuzz-" + std::to_string(std::random_device{}()) + ".dat"))
                           .string();
    ~InputFile() { std::remove(path.c_str()); }
};

// Saved to memory and read back, the file gives the session's image and notes again.
void saveAndReopen(const Session& s) {
    fuzz::MemoryWriter writer;
    if (!saveDataFile(s, writer, "saved.dat").empty()) std::abort();
    PacketImage reopened;
    PacketDirty dirty;
    std::string notes;
    readDataFileText(writer.written, reopened, dirty, notes);
    if (!(reopened == s.image) || notesAsWritten(notes) != s.notes) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const InputFile file;
    {
        std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) std::abort();
    }

    FileSession fs;
    Session& s = fs.session;
    if (!OpenDataFile(s.document(), s.workspace(), file.path, "fuzz.dat")) return 0;
    show(s);
    saveAndReopen(s);
    // Then through the other families in turn, saved after each, as a tuner picks one version
    // after another from the menu; over the corpus every family is left for every other.
    const std::optional<LayoutFamily> opened = s.layout.family;
    for (const FamilyItem& target : kFamilies) {
        if (target.family == opened) continue;
        mnuSetVersion_Click(s, target.menu, target.item);
        if (s.layout.family != target.family || s.conversionFailed) return 0;
        saveAndReopen(s);
    }
    return 0;
}
