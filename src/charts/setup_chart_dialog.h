#pragma once

#include <QDialog>

#include "model/trace_items.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tunalyx {

class ChartWindow;

// frmSetupChart: the panes and the 20 traces of the chart. Every change shows in the chart at
// once; Apply spreads the captions and redraws every trace, Done applies and closes.
class SetupChartDialog final : public QDialog {
    Q_OBJECT
public:
    SetupChartDialog(ChartWindow& chart, const TraceItems& items, QWidget* parent = nullptr);

    void cmdApply_Click();

private:
    void comCharts_Click();
    void showPane();
    void showTrace();
    void comTraceItem_Click();
    void fillItemList();
    void fillPaneLists();
    // A range box that lost the focus: its number is stored, anything else is refused.
    bool storeNumber(QLineEdit* box, double& target);
    void pickColour(QPushButton* button, std::uint32_t& colour);
    [[nodiscard]] int pane() const;
    [[nodiscard]] int trace() const;

    ChartWindow& m_chart;
    const TraceItems& m_items;
    QComboBox* m_comCharts;
    QComboBox* m_comChart;
    QLineEdit* m_txtMinVal;
    QLineEdit* m_txtMaxVal;
    QPushButton* m_cmdBackColour;
    QComboBox* m_comTrace;
    QComboBox* m_comTraceItem;
    QComboBox* m_comTraceChart;
    QPushButton* m_cmdTraceColour;
    QLineEdit* m_txtTraceMin;
    QLineEdit* m_txtTraceMax;
    QLineEdit* m_txtTraceCaption;
    bool m_showing = false;  // controls being filled: their signals are no user's choice
};

}  // namespace tunalyx
