#include "charts/setup_chart_dialog.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "charts/chart_window.h"
#include "model/number_format.h"
#include "ui/qt_cell_colour.h"
#include "ui/qt_text.h"

namespace tunalyx {

SetupChartDialog::SetupChartDialog(ChartWindow& chart, const TraceItems& items, QWidget* parent)
    : QDialog(parent ? parent : &chart), m_chart(chart), m_items(items) {
    setObjectName(QStringLiteral("frmSetupChart"));
    setWindowTitle(tr("Setup Chart"));
    const auto combo = [this](const char* name) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        return c;
    };
    const auto box = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    const auto button = [this](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    m_comCharts = combo("comCharts");
    m_comChart = combo("comChart");
    m_txtMinVal = box("txtMinVal");
    m_txtMaxVal = box("txtMaxVal");
    m_cmdBackColour = button(tr("Colour"), "cmdBackColour");
    m_comTrace = combo("comTrace");
    m_comTraceItem = combo("comTraceItem");
    m_comTraceChart = combo("comTraceChart");
    m_cmdTraceColour = button(tr("Colour"), "cmdTraceColour");
    m_txtTraceMin = box("txtTraceMin");
    m_txtTraceMax = box("txtTraceMax");
    m_txtTraceCaption = box("txtTraceCaption");
    auto* math = button(tr("&Math Items..."), "cmdMathItems");
    auto* apply = button(tr("&Apply"), "cmdApply");
    auto* done = button(tr("&Done"), "cmdDone");

    auto* panes = new QGroupBox(tr("Charts"), this);
    auto* paneForm = new QFormLayout(panes);
    paneForm->addRow(tr("Charts"), m_comCharts);
    paneForm->addRow(tr("Chart"), m_comChart);
    paneForm->addRow(tr("Min Val"), m_txtMinVal);
    paneForm->addRow(tr("Max Val"), m_txtMaxVal);
    paneForm->addRow(tr("Back Colour"), m_cmdBackColour);
    auto* traces = new QGroupBox(tr("Traces"), this);
    auto* traceForm = new QFormLayout(traces);
    traceForm->addRow(tr("Trace"), m_comTrace);
    traceForm->addRow(tr("Item"), m_comTraceItem);
    traceForm->addRow(tr("Chart"), m_comTraceChart);
    traceForm->addRow(tr("Colour"), m_cmdTraceColour);
    traceForm->addRow(tr("Min Val"), m_txtTraceMin);
    traceForm->addRow(tr("Max Val"), m_txtTraceMax);
    traceForm->addRow(tr("Caption"), m_txtTraceCaption);
    auto* columns = new QHBoxLayout;
    columns->addWidget(panes);
    columns->addWidget(traces, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(math);
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(done);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    // Form_Load
    m_showing = true;
    for (int n = 1; n <= ChartConfig::kPanes; ++n)
        m_comCharts->addItem(QString::number(n));
    fillItemList();
    for (int t = 0; t < ChartConfig::kUserTraces; ++t)
        m_comTrace->addItem(QString::number(t));
    m_comCharts->setCurrentIndex(m_chart.config().Charts - 1);
    fillPaneLists();
    m_showing = false;
    showPane();
    showTrace();

    connect(m_comCharts, &QComboBox::activated, this, &SetupChartDialog::comCharts_Click);
    connect(m_comChart, &QComboBox::activated, this, &SetupChartDialog::showPane);
    connect(m_comTrace, &QComboBox::activated, this, &SetupChartDialog::showTrace);
    connect(m_comTraceItem, &QComboBox::activated, this, &SetupChartDialog::comTraceItem_Click);
    connect(m_comTraceChart, &QComboBox::activated, this, [this](int p) {
        m_chart.config().TraceChart[static_cast<std::size_t>(trace())] = p;
        m_chart.applyTracesToStrip();
        m_chart.initTrace(trace());
    });
    ChartConfig& c = m_chart.config();
    connect(m_txtMinVal, &QLineEdit::editingFinished, this, [this, &c] {
        if (storeNumber(m_txtMinVal, c.ChartMin[static_cast<std::size_t>(pane())]))
            m_chart.initChart(pane());
    });
    connect(m_txtMaxVal, &QLineEdit::editingFinished, this, [this, &c] {
        if (storeNumber(m_txtMaxVal, c.ChartMax[static_cast<std::size_t>(pane())]))
            m_chart.initChart(pane());
    });
    connect(m_txtTraceMin, &QLineEdit::editingFinished, this, [this, &c] {
        if (storeNumber(m_txtTraceMin, c.TraceMinVal[static_cast<std::size_t>(trace())]))
            m_chart.initTrace(trace());
    });
    connect(m_txtTraceMax, &QLineEdit::editingFinished, this, [this, &c] {
        if (storeNumber(m_txtTraceMax, c.TraceMaxVal[static_cast<std::size_t>(trace())]))
            m_chart.initTrace(trace());
    });
    connect(m_txtTraceCaption, &QLineEdit::editingFinished, this, [this, &c] {
        c.TraceCaption[static_cast<std::size_t>(trace())] =
            m_txtTraceCaption->text().toLatin1().toStdString();
        m_chart.applyTracesToStrip();
        m_chart.strip().redraw();
    });
    connect(m_cmdBackColour, &QPushButton::clicked, this, [this, &c] {
        pickColour(m_cmdBackColour, c.ChartBackColour[static_cast<std::size_t>(pane())]);
        m_chart.initChart(pane());
    });
    connect(m_cmdTraceColour, &QPushButton::clicked, this, [this, &c] {
        pickColour(m_cmdTraceColour, c.TraceColour[static_cast<std::size_t>(trace())]);
        m_chart.applyTracesToStrip();
        m_chart.strip().redraw();
    });
    connect(math, &QPushButton::clicked, this, [this] {
        m_chart.showMathItems();
        m_showing = true;
        fillItemList();
        m_showing = false;
        showTrace();
    });
    connect(apply, &QPushButton::clicked, this, &SetupChartDialog::cmdApply_Click);
    connect(done, &QPushButton::clicked, this, [this] {
        cmdApply_Click();
        accept();
    });
}

int SetupChartDialog::pane() const {
    return std::max(0, m_comChart->currentIndex());
}

int SetupChartDialog::trace() const {
    return std::max(0, m_comTrace->currentIndex());
}

void SetupChartDialog::fillItemList() {
    m_comTraceItem->clear();
    for (const std::string& choice : m_items.itemChoices())
        m_comTraceItem->addItem(latin1(choice));
    // The math items follow the 64, so that a position is still TraceItem.
    for (const MathDefinition& d : m_chart.config().MathDefinitions)
        m_comTraceItem->addItem(tr("Math ") + QString::fromStdString(d.name));
}

void SetupChartDialog::fillPaneLists() {
    const int panes = m_chart.config().Charts;
    for (QComboBox* list : {m_comChart, m_comTraceChart}) {
        const int kept = list->currentIndex();
        list->clear();
        for (int p = 0; p < panes; ++p)
            list->addItem(QString::number(p));
        list->setCurrentIndex(std::clamp(kept, 0, panes - 1));
    }
}

void SetupChartDialog::comCharts_Click() {
    m_chart.config().Charts = m_comCharts->currentIndex() + 1;
    m_showing = true;
    fillPaneLists();
    m_showing = false;
    m_chart.applyTracesToStrip();
    for (int p = 0; p < m_chart.config().Charts; ++p)
        m_chart.initChart(p);
    showPane();
    showTrace();
}

void SetupChartDialog::showPane() {
    const ChartConfig& c = m_chart.config();
    const auto at = static_cast<std::size_t>(pane());
    m_txtMinVal->setText(latin1(chartNumberText(c.ChartMin[at])));
    m_txtMaxVal->setText(latin1(chartNumberText(c.ChartMax[at])));
    showButtonColour(m_cmdBackColour, c.ChartBackColour[at]);
}

void SetupChartDialog::showTrace() {
    const ChartConfig& c = m_chart.config();
    const auto at = static_cast<std::size_t>(trace());
    showButtonColour(m_cmdTraceColour, c.TraceColour[at]);
    m_txtTraceMin->setText(latin1(chartNumberText(c.TraceMinVal[at])));
    m_txtTraceMax->setText(latin1(chartNumberText(c.TraceMaxVal[at])));
    m_comTraceItem->setCurrentIndex(std::clamp(c.TraceItem[at], 0, m_comTraceItem->count() - 1));
    m_comTraceChart->setCurrentIndex(std::clamp(c.TraceChart[at], 0, c.Charts - 1));
    m_txtTraceCaption->setText(latin1(c.TraceCaption[at]));
}

void SetupChartDialog::comTraceItem_Click() {
    ChartConfig& c = m_chart.config();
    const auto at = static_cast<std::size_t>(trace());
    const bool added = c.TraceItem[at] < 1;
    c.TraceItem[at] = m_comTraceItem->currentIndex();
    // A trace added beside others must not look like one of them.
    if (added && c.TraceItem[at] >= 1) {
        c.TraceColour[at] = newTraceColour(c, trace());
        showButtonColour(m_cmdTraceColour, c.TraceColour[at]);
    }
    c.TraceCaption[at] = itemCaption(m_items, c.TraceItem[at], c.MathDefinitions);
    m_txtTraceCaption->setText(latin1(c.TraceCaption[at]));
    m_chart.applyTracesToStrip();
    m_chart.initTrace(trace());
}

bool SetupChartDialog::storeNumber(QLineEdit* box, double& target) {
    if (m_showing) return false;
    const NumberLocale& locale = m_chart.session().codec.locale();
    const auto value = parseUserNumber(box->text().toStdString(), locale);
    if (!value) {
        m_chart.session().prompts.tell("Please enter a numeric value");
        return false;
    }
    target = *value;
    return true;
}

void SetupChartDialog::pickColour(QPushButton* button, std::uint32_t& colour) {
    const QColor chosen = QColorDialog::getColor(cellQColor(colour), this);
    if (!chosen.isValid()) return;
    colour = colourValue(chosen);
    showButtonColour(button, colour);
}

void SetupChartDialog::cmdApply_Click() {
    m_chart.applyTracesToStrip();
    for (int t = 0; t < ChartConfig::kUserTraces; ++t)
        m_chart.initTrace(t);
}

}  // namespace tunalyx
