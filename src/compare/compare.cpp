#include "compare/compare.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "model/number_format.h"
#include "transfer/data_file.h"
#include "versions/unit_identity.h"
#include "versions/version_identification.h"

namespace tunalyx {

namespace {

constexpr int kFirstPage = 1;
constexpr int kLastPage = 5;
constexpr std::uint8_t kIdentityBlocks[] = {kNameBlock, kVersionBlock, kOlderNameBlock,
                                            kOlderVersionBlock};

// Everything an identification with its layout switch may touch, to be put back as it was.
class SessionSnapshot {
public:
    explicit SessionSnapshot(const Session& s)
        : m_slots(s.image.all()),
          m_dirty(s.dirty),
          m_verName(s.VerName),
          m_verNumber(s.VerNumber),
          m_layout(s.layout),
          m_trace(s.trace),
          m_captions(s.monitorCaptions),
          m_settings(s.settings),
          m_mapRef(s.maps.MapRefBlock),
          m_conversionFailed(s.conversionFailed) {
        for (int grid = 0; grid < kMapGridCount; ++grid)
            m_mapBlocks[static_cast<std::size_t>(grid)] = s.maps.descriptor(grid).block;
    }

    [[nodiscard]] const Bytes& slot(std::uint8_t block) const { return m_slots[block]; }

    void restore(Session& s) const {
        s.image.assign(m_slots);
        s.dirty = m_dirty;
        s.VerName = m_verName;
        s.VerNumber = m_verNumber;
        s.layout = m_layout;
        s.trace = m_trace;
        s.monitorCaptions = m_captions;
        s.maps.MapRefBlock = m_mapRef;
        s.conversionFailed = m_conversionFailed;
        for (int grid = 0; grid < kMapGridCount; ++grid)
            s.maps.setMapBlock(grid, m_mapBlocks[static_cast<std::size_t>(grid)]);
        s.settings.restoreFrom(m_settings);
    }

private:
    PacketImage::Slots m_slots;
    PacketDirty m_dirty;
    std::string m_verName;
    std::string m_verNumber;
    LayoutInForce m_layout;
    TraceItems m_trace;
    MonitorCaptions m_captions;
    SettingsTable m_settings;
    std::uint8_t m_mapRef;
    bool m_conversionFailed;
    std::array<int, kMapGridCount> m_mapBlocks{};
};

bool isCompared(ControlKind kind) {
    return kind == ControlKind::Text || kind == ControlKind::Check ||
           kind == ControlKind::CheckBit || kind == ControlKind::Option ||
           kind == ControlKind::Label;
}

// The controls compare mode looks at: those the layout in force shows, in page order.
std::vector<const SettingControl*> comparedControls(const SettingsTable& table) {
    std::vector<const SettingControl*> out;
    for (int page = kFirstPage; page <= kLastPage; ++page)
        for (const SettingControl* frame : table.pageFrames(page)) {
            if (!frame->visible) continue;
            for (const SettingControl* c : table.frameControls(frame->index))
                if (isCompared(c->kind) && table.controlShown(*c)) out.push_back(c);
        }
    return out;
}

std::string shownText(const SettingsCodec& codec, const SettingControl& c) {
    switch (c.kind) {
        case ControlKind::Text:
            return codec.DisplayData(c.tag);
        case ControlKind::Check:
            return codec.IsSettingChecked(c.tag) ? "on" : "off";
        case ControlKind::CheckBit:
            return codec.IsSettingBitSet(c.tag) ? "on" : "off";
        case ControlKind::Option:
            return codec.IsOptionSelected(c.tag) ? "selected" : "not selected";
        case ControlKind::Label: {
            std::string text = codec.SettingText(c.tag);
            text.resize(std::min(text.size(), text.find('\0')));
            return text;
        }
        default:
            return {};
    }
}

std::vector<int> visibleGrids(const Session& s) {
    std::vector<int> grids{kInjMap, kIgnMap};
    if (s.layout.baseMapTabVisible) grids.push_back(kBaseMap);
    return grids;
}

using MapTexts = std::array<std::array<std::string, kMapCols>, kMapRows>;

MapTexts mapTexts(const MapGrids& maps, int grid) {
    MapTexts texts;
    for (int row = 1; row <= kMapRows; ++row)
        for (int col = 1; col <= kMapCols; ++col)
            texts[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)] =
                maps.cellText(grid, row, col);
    return texts;
}

// The file's side, decoded while its converted data are in the image.
struct FileTexts {
    std::vector<std::string> settings;  // one for each of comparedControls()
    std::vector<MapTexts> maps;         // one for each of visibleGrids()
};

FileTexts decodeFile(const Session& s) {
    FileTexts file;
    for (const SettingControl* c : comparedControls(s.settings))
        file.settings.push_back(shownText(s.codec, *c));
    for (int grid : visibleGrids(s))
        file.maps.push_back(mapTexts(s.maps, grid));
    return file;
}

Comparison compareWithWindow(const Session& s, const FileTexts& file, std::string fileNotes) {
    Comparison result;
    const std::vector<const SettingControl*> controls = comparedControls(s.settings);
    for (std::size_t i = 0; i < controls.size() && i < file.settings.size(); ++i) {
        std::string windowText = shownText(s.codec, *controls[i]);
        if (windowText != file.settings[i])
            result.settings.push_back({controls[i], std::move(windowText), file.settings[i]});
    }

    result.notesDiffer = fileNotes != s.notes;
    result.fileNotes = std::move(fileNotes);

    const NumberLocale& locale = s.codec.locale();
    const auto valueOf = [&](const std::string& text) {
        return parseUserNumber(text, locale).value_or(0.0);
    };
    const std::vector<int> grids = visibleGrids(s);
    for (std::size_t m = 0; m < grids.size() && m < file.maps.size(); ++m) {
        const int grid = grids[m];
        MapDifference map{grid, {}};
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col) {
                const auto r = static_cast<std::size_t>(row - 1);
                const auto c = static_cast<std::size_t>(col - 1);
                // The injection factor differs in thousandths; whole numbers read better.
                const double difference =
                    (valueOf(s.maps.cellText(grid, row, col)) - valueOf(file.maps[m][r][c])) *
                    (grid == kInjMap ? 1000.0 : 1.0);
                CellDifference& cell = map.cells[r][c];
                cell.text = formatValue(difference, "0", locale);
                if (cell.text != "0") cell.colour = differenceColour(grid, difference);
            }
        result.maps.push_back(std::move(map));
    }
    return result;
}

}  // namespace

bool MapDifference::differs() const {
    return std::any_of(cells.begin(), cells.end(), [](const auto& row) {
        return std::any_of(row.begin(), row.end(),
                           [](const CellDifference& cell) { return cell.differs(); });
    });
}

bool Comparison::differs() const {
    return !settings.empty() || notesDiffer ||
           std::any_of(maps.begin(), maps.end(),
                       [](const MapDifference& map) { return map.differs(); });
}

CellColour differenceColour(int grid, double difference) {
    if (difference == 0) return kNormalBackground;
    return (grid == kIgnMap) == (difference > 0) ? kCompareRed : kCompareYellow;
}

std::optional<Comparison> compareWithFile(Session& session, const std::string& path,
                                          const std::string& shownName) {
    const std::optional<std::string> contents =
        readDataFileContents(session.prompts, path, shownName);
    if (!contents) return std::nullopt;

    const SessionSnapshot kept(session);
    bool layoutApplied = false;
    const auto putBack = [&] {
        kept.restore(session);
        // The layout was applied again while the file's data were in the image.
        if (layoutApplied) session.view().layoutChanged();
    };
    try {
        session.image.clear();
        PacketDirty fileFlags;
        std::string fileNotes;
        readDataFileText(*contents, session.image, fileFlags, fileNotes);

        // The file's identity first, without its layout...
        if (!SR20DET_Version(session, false, true, false, true)) {
            putBack();
            session.prompts.tell(shownName + " is not a Recognised SR20DET File",
                                 MessageIcon::Critical);
            return std::nullopt;
        }
        // ...then the window's identity again: the file's data are converted to its layout.
        for (std::uint8_t block : kIdentityBlocks)
            session.image[block] = kept.slot(block);
        layoutApplied = true;
        if (!SR20DET_Version(session, false, true, true, true)) {
            putBack();
            session.prompts.tell(shownName +
                                     " cannot be compared: the window holds no recognised "
                                     "SR20DET data",
                                 MessageIcon::Critical);
            return std::nullopt;
        }
        // Half-converted data would show differences that are not there; the error was shown.
        if (session.conversionFailed) {
            putBack();
            return std::nullopt;
        }

        const FileTexts file = decodeFile(session);
        putBack();
        return compareWithWindow(session, file, std::move(fileNotes));
    } catch (const std::exception&) {
        putBack();
        session.prompts.tell("Error in frmMain.mnuCompare_Click", MessageIcon::Critical);
        return std::nullopt;
    }
}

}  // namespace tunalyx
