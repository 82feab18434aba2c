#include "charts/chart_setup_file.h"

#include <optional>

#include "ports/whole_file.h"

namespace tunalyx {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void line(std::string& out, std::string_view key, std::string_view value) {
    out += key;
    out += '\t';
    out += value;
    out += kLineEnd;
}

void line(std::string& out, std::string_view key, double value) {
    line(out, key, chartNumberText(value));
}

bool validItem(int traceItem) {
    return traceItem >= 1 && traceItem <= kTraceItemCount;
}

template <typename T>
void setIf(std::optional<int> at, std::optional<T> v, T* values) {
    if (at && v) values[*at] = *v;
}

// Reads the file's keys into a copy of the configuration, so that a No to the version question
// leaves the chart as it was.
class SetupReader {
public:
    SetupReader(const ChartConfig& config, const TraceItems& items, ChartSetupVersion version,
                UserPrompts& prompts)
        : m_config(config), m_items(items), m_version(version), m_prompts(prompts) {}

    // False when the user declined a file of another version.
    bool apply(std::string_view key, std::string_view value) {
        ChartConfig& c = m_config;
        if (key == "VerName") {
            m_fileName = value;
        } else if (key == "VerNumber") {
            m_fileNumber = value;
        } else if (key == "Charts") {
            if (m_fileName != m_version.VerName || m_fileNumber != m_version.VerNumber) {
                const MessageAnswer a = m_prompts.showMessage(
                    "The Setup File does not match the current PFC version.\n"
                    "Some items may not match. Do you want to proceed?",
                    MessageIcon::Question, MessageButtons::YesNo);
                if (a != MessageAnswer::Yes) return false;
            }
            if (const auto v = readChartIndex(value, ChartConfig::kPanes + 1); v && *v >= 1)
                c.Charts = *v;
        } else if (key == "ChartID") {
            m_pane = readChartIndex(value, ChartConfig::kPanes);
        } else if (key == "ChartMin") {
            setIf(m_pane, readChartNumber(value), c.ChartMin.data());
        } else if (key == "ChartMax") {
            setIf(m_pane, readChartNumber(value), c.ChartMax.data());
        } else if (key == "ChartBackColor") {
            setIf(m_pane, readChartColour(value), c.ChartBackColour.data());
        } else if (key == "TraceID") {
            m_trace = readChartIndex(value, ChartConfig::kTraces);
        } else if (key == "TraceItem") {
            setIf(m_trace, readChartIndex(value, kTraceItemCount + 1), c.TraceItem.data());
        } else if (key == "TraceGroup") {
            m_group = readChartIndex(value, kTraceGroupCount).value_or(-1);
        } else if (key == "TraceGroupIndex") {
            if (const auto i = readChartIndex(value, kTraceGroupSlots); i && m_trace && inTable(*i))
                c.TraceItem[static_cast<std::size_t>(*m_trace)] = m_items.lookup(m_group, *i) + 1;
        } else if (key == "TraceItemName") {
            if (m_trace) findByName(c.TraceItem[static_cast<std::size_t>(*m_trace)], value);
        } else if (key == "TraceChart") {
            setIf(m_trace, readChartIndex(value, ChartConfig::kPanes), c.TraceChart.data());
        } else if (key == "TraceColor") {
            setIf(m_trace, readChartColour(value), c.TraceColour.data());
        } else if (key == "TraceMinVal") {
            setIf(m_trace, readChartNumber(value), c.TraceMinVal.data());
        } else if (key == "TraceMaxVal") {
            setIf(m_trace, readChartNumber(value), c.TraceMaxVal.data());
        } else if (key == "TraceCaption") {
            setIf(m_trace, std::optional<std::string>(value), c.TraceCaption.data());
        }
        return true;
    }

    [[nodiscard]] const ChartConfig& config() const { return m_config; }

private:
    // Whether (group, index) names an item of this table; another version's slot may not exist.
    [[nodiscard]] bool inTable(int groupIndex) const {
        for (int i = 0; i < kTraceItemCount; ++i)
            if (m_items.TraceGroup[static_cast<std::size_t>(i)] == m_group &&
                m_items.TraceGroupIndex[static_cast<std::size_t>(i)] == groupIndex)
                return true;
        return false;
    }

    // The name wins over the number when this version's table has the item elsewhere.
    void findByName(int& traceItem, std::string_view name) {
        if (validItem(traceItem) &&
            m_items.TraceName[static_cast<std::size_t>(traceItem - 1)] == name)
            return;
        if (const auto found = m_items.findInGroup(m_group, name))
            traceItem = *found + 1;
        else
            m_prompts.tell("Item " + std::string(name) + " not found.", MessageIcon::Critical);
    }

    ChartConfig m_config;
    const TraceItems& m_items;
    ChartSetupVersion m_version;
    UserPrompts& m_prompts;
    std::string m_fileName;
    std::string m_fileNumber;
    std::optional<int> m_pane = 0;
    std::optional<int> m_trace = 0;
    int m_group = -1;  // none yet
};

}  // namespace

std::string chartSetupText(const ChartConfig& config, const TraceItems& items,
                           ChartSetupVersion version) {
    std::string out;
    out += kChartSetupHeader;
    out += kLineEnd;
    line(out, "VerName", version.VerName);
    line(out, "VerNumber", version.VerNumber);
    line(out, "Charts", config.Charts);
    for (int p = 0; p < config.Charts && p < ChartConfig::kPanes; ++p) {
        const auto i = static_cast<std::size_t>(p);
        line(out, "ChartID", p);
        line(out, "ChartMin", config.ChartMin[i]);
        line(out, "ChartMax", config.ChartMax[i]);
        line(out, "ChartBackColor", config.ChartBackColour[i]);
    }
    for (int t = 0; t < ChartConfig::kTraces; ++t) {
        const auto i = static_cast<std::size_t>(t);
        const int traceItem = config.TraceItem[i];
        line(out, "TraceID", t);
        line(out, "TraceItem", traceItem);
        if (validItem(traceItem)) {
            const auto item = static_cast<std::size_t>(traceItem - 1);
            line(out, "TraceGroup", items.TraceGroup[item]);
            line(out, "TraceGroupIndex", items.TraceGroupIndex[item]);
            line(out, "TraceItemName", items.TraceName[item]);
        }
        line(out, "TraceChart", config.TraceChart[i]);
        line(out, "TraceColor", config.TraceColour[i]);
        line(out, "TraceMinVal", config.TraceMinVal[i]);
        line(out, "TraceMaxVal", config.TraceMaxVal[i]);
        line(out, "TraceCaption", config.TraceCaption[i]);
    }
    return out;
}

std::string saveChartSetup(const ChartConfig& config, const TraceItems& items,
                           ChartSetupVersion version, FileWriter& writer, const std::string& path) {
    return writer.writeWhole(path, chartSetupText(config, items, version));
}

bool applyChartSetupText(std::string_view text, ChartConfig& config, const TraceItems& items,
                         ChartSetupVersion version, UserPrompts& prompts) {
    SetupReader reader(config, items, version, prompts);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        const std::size_t tab = row.find('\t');
        if (tab == std::string_view::npos) continue;  // the header, blank lines
        // A value ends at the next TAB, so a caption holding one is cut there.
        const std::string_view rest = row.substr(tab + 1);
        if (!reader.apply(row.substr(0, tab), rest.substr(0, rest.find('\t')))) return false;
    }
    config = reader.config();
    return true;
}

bool openChartSetup(const std::string& path, ChartConfig& config, const TraceItems& items,
                    ChartSetupVersion version, UserPrompts& prompts) {
    const WholeFile file = readWholeFile(path, kLargestChartSetupFile);
    if (file.problem != WholeFile::Problem::None) {
        prompts.tell("Error Opening Corvalink Chart Setup File", MessageIcon::Critical);
        return false;
    }
    return applyChartSetupText(file.contents, config, items, version, prompts);
}

}  // namespace tunalyx
