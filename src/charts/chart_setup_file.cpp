#include "charts/chart_setup_file.h"

#include "ports/whole_file.h"

namespace tunalyx {

namespace {

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

constexpr KeyFileKind kChartSetupKind{
    "Error Opening Corvalink Chart Setup File",
    "chart setup",
    "Charts",
    "The Setup File does not match the current PFC version.\n"
    "Some items may not match. Do you want to proceed?",
    MessageIcon::Question,
    "TraceGroup",
    "TraceGroupIndex",
    "TraceItemName",
    -1,  // an index before any group finds nothing
};

// The file's own keys, read into a copy of the configuration so that nothing of a file that
// stops part way reaches the chart.
class ChartRecords final : public KeyFileRecords {
public:
    explicit ChartRecords(const ChartConfig& config) : m_config(config) {}

    bool apply(std::string_view key, const KeyFileValue& v) override {
        ChartConfig& c = m_config;
        const auto pane = static_cast<std::size_t>(m_pane);
        const auto trace = static_cast<std::size_t>(m_trace);
        if (key == "Charts")
            c.Charts = v.whole(1, ChartConfig::kPanes);
        else if (key == "ChartID")
            m_pane = v.whole(0, ChartConfig::kPanes - 1);
        else if (key == "ChartMin")
            c.ChartMin[pane] = v.number();
        else if (key == "ChartMax")
            c.ChartMax[pane] = v.number();
        else if (key == "ChartBackColor")
            c.ChartBackColour[pane] = v.colour();
        else if (key == "TraceID")
            m_trace = v.whole(0, ChartConfig::kUserTraces - 1);
        else if (key == "TraceItem")
            c.TraceItem[trace] = v.whole(0, kTraceItemCount);
        else if (key == "TraceChart")
            c.TraceChart[trace] = v.whole(0, ChartConfig::kPanes - 1);
        else if (key == "TraceColor")
            c.TraceColour[trace] = v.colour();
        else if (key == "TraceMinVal")
            c.TraceMinVal[trace] = v.number();
        else if (key == "TraceMaxVal")
            c.TraceMaxVal[trace] = v.number();
        else if (key == "TraceCaption")
            c.TraceCaption[trace] = v.text();
        else
            return false;
        return true;
    }

    [[nodiscard]] int item() const override {
        return m_config.TraceItem[static_cast<std::size_t>(m_trace)] - 1;
    }
    void setItem(int item) override {
        m_config.TraceItem[static_cast<std::size_t>(m_trace)] = item + 1;
    }

    [[nodiscard]] const ChartConfig& config() const { return m_config; }

private:
    ChartConfig m_config;
    int m_pane = 0;
    int m_trace = 0;
};

}  // namespace

std::string chartSetupText(const ChartConfig& config, const TraceItems& items,
                           SetupFileVersion version) {
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
    for (int t = 0; t < ChartConfig::kUserTraces; ++t) {
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
                           SetupFileVersion version, FileWriter& writer, const std::string& path) {
    return writer.writeWhole(path, chartSetupText(config, items, version));
}

bool applyChartSetupText(std::string_view text, ChartConfig& config, const TraceItems& items,
                         SetupFileVersion version, UserPrompts& prompts) {
    ChartRecords records(config);
    if (readKeyFile(text, kChartSetupKind, items, version, records, prompts) !=
        KeyFileOutcome::Loaded)
        return false;
    config = records.config();
    return true;
}

bool openChartSetup(const std::string& path, ChartConfig& config, const TraceItems& items,
                    SetupFileVersion version, UserPrompts& prompts) {
    ChartRecords records(config);
    if (openKeyFile(path, kLargestChartSetupFile, kChartSetupKind, items, version, records,
                    prompts) != KeyFileOutcome::Loaded)
        return false;
    config = records.config();
    return true;
}

}  // namespace tunalyx
