// The chart's math items: editing them, and their values where the chart reads the log.
#include <cmath>

#include "charts/chart_window.h"
#include "charts/math_items_dialog.h"
#include "model/number_format.h"
#include "monitor/math_items.h"
#include "monitor/sample_source.h"

namespace tunalyx {

namespace {

// The log while a run fills it: the samples published so far, LogLast not yet moved.
class PublishedPrefix final : public SampleSource {
public:
    PublishedPrefix(const LogStore& log, int count) : m_log(log), m_count(count) {}
    [[nodiscard]] int sampleCount() const override { return m_count; }
    [[nodiscard]] double timeSeconds(int s) const override { return m_log.timeSeconds(s); }
    [[nodiscard]] double value(int item, int s) const override { return m_log.value(item, s); }
    [[nodiscard]] bool hasItem(int item) const override { return m_log.hasItem(item); }

private:
    LogStoreSource m_log;
    int m_count;
};

}  // namespace

void ChartWindow::useMathItems() {
    std::string error;
    m_session.mathItems = compileChartMath(m_config, m_session.trace, &error);
    if (!error.empty())
        m_session.prompts.tell(error + "; it was left out.", MessageIcon::Exclamation);
}

void ChartWindow::showMathItems() {
    MathItemsDialog dialog(m_config.MathDefinitions, m_session.trace, this);
    if (dialog.exec() != QDialog::Accepted) return;
    replaceMathItems(m_config, dialog.definitions(), dialog.origins());
    useMathItems();
    applyTracesToStrip();
    initTraces();
}

double ChartWindow::liveMathValue(int item, int index) const {
    if (!m_session.mathItems) return std::nan("");
    return m_session.mathItems->value(PublishedPrefix(m_log, index + 1), item - kFirstMathItem,
                                      index);
}

std::string ChartWindow::mathReadout(double v) const {
    // Nothing to compute there: no number rather than a made-up one.
    if (std::isnan(v)) return "-";
    return formatValue(std::round(v * 1000) / 1000, "", m_session.codec.locale());
}

}  // namespace tunalyx
