#include "charts/chart_setup_file.h"

#include <algorithm>

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
    // A setup brings its own math items, none when it has none.
    explicit ChartRecords(const ChartConfig& config) : m_config(config) {
        m_config.MathDefinitions.clear();
    }

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
        else if (key == "TraceMath")
            m_traceMath[trace] = v.text();
        else if (key == "MathName")
            c.MathDefinitions.push_back({std::string(v.text()), {}});
        else if (key == "MathExpression" && !c.MathDefinitions.empty())
            c.MathDefinitions.back().expression = v.text();
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

    // The configuration read, its traces' math items found by name (the math lines come last).
    [[nodiscard]] ChartConfig config() const {
        ChartConfig c = m_config;
        for (std::size_t t = 0; t < m_traceMath.size(); ++t) {
            if (m_traceMath[t].empty() || c.TraceItem[t] != 0) continue;
            const auto& math = c.MathDefinitions;
            const auto found = std::find_if(math.begin(), math.end(), [&](const MathDefinition& d) {
                return d.name == m_traceMath[t];
            });
            if (found != math.end())
                c.TraceItem[t] = kFirstMathTraceItem + static_cast<int>(found - math.begin());
        }
        return c;
    }

private:
    ChartConfig m_config;
    std::array<std::string, ChartConfig::kUserTraces> m_traceMath;
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
        const auto math = static_cast<std::size_t>(traceItem - kFirstMathTraceItem);
        if (traceItem >= kFirstMathTraceItem && math < config.MathDefinitions.size()) {
            // Other readers see a trace without an item; this one finds the math item by name.
            line(out, "TraceItem", 0);
            line(out, "TraceMath", config.MathDefinitions[math].name);
        } else {
            line(out, "TraceItem", validItem(traceItem) ? traceItem : 0);
        }
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
    for (const MathDefinition& d : config.MathDefinitions) {
        line(out, "MathName", d.name);
        line(out, "MathExpression", d.expression);
    }
    return out;
}

std::string saveChartSetup(const ChartConfig& config, const TraceItems& items,
                           SetupFileVersion version, FileWriter& writer, const std::string& path) {
    return writer.writeWhole(path, chartSetupText(config, items, version));
}

namespace {

// Takes what was read unless its math items do not compile; nothing that does not is kept.
bool keepRead(const ChartRecords& records, ChartConfig& config, const TraceItems& items,
              UserPrompts& prompts) {
    ChartConfig read = records.config();
    std::string error;
    if (!MathItems::compile(read.MathDefinitions, items, &error)) {
        prompts.tell(
            std::string(kChartSetupKind.openError) + "\n" + error + ". Nothing was changed.",
            MessageIcon::Critical);
        return false;
    }
    config = std::move(read);
    return true;
}

}  // namespace

bool applyChartSetupText(std::string_view text, ChartConfig& config, const TraceItems& items,
                         SetupFileVersion version, UserPrompts& prompts) {
    ChartRecords records(config);
    if (readKeyFile(text, kChartSetupKind, items, version, records, prompts) !=
        KeyFileOutcome::Loaded)
        return false;
    return keepRead(records, config, items, prompts);
}

bool openChartSetup(const std::string& path, ChartConfig& config, const TraceItems& items,
                    SetupFileVersion version, UserPrompts& prompts) {
    ChartRecords records(config);
    if (openKeyFile(path, kLargestChartSetupFile, kChartSetupKind, items, version, records,
                    prompts) != KeyFileOutcome::Loaded)
        return false;
    return keepRead(records, config, items, prompts);
}

}  // namespace tunalyx
