#include "monitor/monitor_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "monitor/log_file.h"
#include "monitor/log_groups.h"
#include "monitor/log_journal.h"
#include "monitor/marker_note_widget.h"
#include "monitor/monitor_settings.h"
#include "ui/qt_text.h"
#include "ui/qt_window_placement.h"

namespace tunalyx {

namespace {

constexpr const char* kAuxLabels[4] = {"AN1", "AN2", "AN3", "AN4"};
const WindowPlacement kMonitorPlacement{600, 600, 6600, 10200, 0};
// New samples are shown at most 25 times a second.
constexpr int kFrameIntervalMs = 40;

QLineEdit* field(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setAlignment(Qt::AlignRight);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-00000.000")) + 10);
    return edit;
}

}  // namespace

MonitorWindow::MonitorWindow(Session& session, LiveRun& live, const AuxCalibration& aux,
                             SettingsStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_session(session),
      m_live(live),
      m_aux(aux),
      m_store(store),
      m_readout(session.trace, session.codec.locale()) {
    setObjectName(QStringLiteral("frmMonitor"));
    setWindowTitle(tr("Monitor"));
    buildFields();
    m_live.addConsumer(&m_readout);
    m_live.addConsumer(this);
    m_live.journalFailed = [this](const std::string& text) {
        tellLater(text, MessageIcon::Exclamation);
    };
    m_frames.setInterval(kFrameIntervalMs);
    connect(&m_frames, &QTimer::timeout, this, [this] { m_live.present(); });

    // Form_Load
    applyPlacement(*this, loadWindowPlacement(m_store, "Monitor", kMonitorPlacement));
    const IncludeGroups include = loadMonitorInclude(m_store);
    for (std::size_t g = 0; g < m_chkInclude.size(); ++g)
        m_chkInclude[g]->setChecked(include[g]);
    m_continuous = loadLogContinuous(m_store);

    chooseSavePath = [this](const std::string& proposed) {
        QString selected = QStringLiteral("Text Files(*.txt)");
        const QString start =
            QString::fromStdString(logPath(m_store, m_session.filesFolder) + proposed);
        return QFileDialog::getSaveFileName(this, tr("Save Log"), start,
                                            QStringLiteral("All Files (*.*);;Text Files(*.txt)"),
                                            &selected)
            .toStdString();
    };
}

MonitorWindow::~MonitorWindow() {
    m_live.removeConsumer(this);
    m_live.removeConsumer(&m_readout);
    m_live.journalFailed = nullptr;
    // The program is going: the run ends after its cycle and the line comes back to this
    // thread before the thread it polled on goes.
    m_live.stop();
}

void MonitorWindow::buildFields() {
    auto* outer = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    outer->addLayout(top);

    auto* basic = new QGroupBox(tr("Basic"), this);
    auto* basicGrid = new QGridLayout(basic);
    basicGrid->addWidget(new QLabel(tr("Max"), basic), 0, 2);
    for (int i = 0; i < 10; ++i) {
        const auto at = static_cast<std::size_t>(i);
        m_lblMonitor[at] = new QLabel(basic);
        m_lblMonitor[at]->setObjectName(QStringLiteral("lblMonitor%1").arg(i));
        m_txtMonitor[at] = field(QStringLiteral("txtMonitor%1").arg(i), basic);
        m_txtMonitorMax[at] = field(QStringLiteral("txtMonitorMax%1").arg(i), basic);
        basicGrid->addWidget(m_lblMonitor[at], i + 1, 0);
        basicGrid->addWidget(m_txtMonitor[at], i + 1, 1);
        basicGrid->addWidget(m_txtMonitorMax[at], i + 1, 2);
    }
    basicGrid->setRowStretch(11, 1);
    top->addWidget(basic);

    auto* sensors = new QGroupBox(tr("Sensors"), this);
    auto* sensorGrid = new QGridLayout(sensors);
    for (int k = 0; k < 8; ++k) {
        const auto at = static_cast<std::size_t>(k);
        m_lblSensor[at] = new QLabel(sensors);
        m_lblSensor[at]->setObjectName(QStringLiteral("lblSensor%1").arg(k));
        m_txtSensor[at] = field(QStringLiteral("txtSensor%1").arg(k), sensors);
        m_chkSensor1[at] = new QCheckBox(sensors);
        m_chkSensor1[at]->setObjectName(QStringLiteral("chkSensor1%1").arg(k));
        m_chkSensor2[at] = new QCheckBox(sensors);
        m_chkSensor2[at]->setObjectName(QStringLiteral("chkSensor2%1").arg(k));
        // They show the unit's switches; a click must not pretend otherwise.
        for (QCheckBox* box : {m_chkSensor1[at], m_chkSensor2[at]}) {
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            box->setFocusPolicy(Qt::NoFocus);
        }
        sensorGrid->addWidget(m_lblSensor[at], k, 0);
        sensorGrid->addWidget(m_txtSensor[at], k, 1);
        sensorGrid->addWidget(m_chkSensor1[at], k, 2);
        sensorGrid->addWidget(m_chkSensor2[at], k, 3);
    }
    sensorGrid->setRowStretch(8, 1);
    top->addWidget(sensors);

    auto* advanced = new QGroupBox(tr("Advanced"), this);
    auto* advancedGrid = new QGridLayout(advanced);
    for (int i = 0; i < 19; ++i) {
        const auto at = static_cast<std::size_t>(i);
        m_lblTuning[at] = new QLabel(advanced);
        m_lblTuning[at]->setObjectName(QStringLiteral("lblTuning%1").arg(i));
        m_txtTuning[at] = field(QStringLiteral("txtTuning%1").arg(i), advanced);
        const int column = i < 10 ? 0 : 2;
        advancedGrid->addWidget(m_lblTuning[at], i % 10, column);
        advancedGrid->addWidget(m_txtTuning[at], i % 10, column + 1);
    }
    advancedGrid->setRowStretch(10, 1);
    top->addWidget(advanced);

    auto* bottom = new QHBoxLayout;
    outer->addLayout(bottom);
    auto* aux = new QGroupBox(tr("Auxilary AD"), this);
    auto* auxGrid = new QGridLayout(aux);
    for (int k = 0; k < 4; ++k) {
        m_txtA2D[static_cast<std::size_t>(k)] = field(QStringLiteral("txtA2D%1").arg(k), aux);
        auxGrid->addWidget(new QLabel(QString::fromLatin1(kAuxLabels[k]), aux), k / 2, (k % 2) * 2);
        auxGrid->addWidget(m_txtA2D[static_cast<std::size_t>(k)], k / 2, (k % 2) * 2 + 1);
    }
    bottom->addWidget(aux);

    auto* map = new QGroupBox(tr("Map Ref"), this);
    auto* mapGrid = new QGridLayout(map);
    for (int k = 0; k < 2; ++k) {
        m_txtMap[static_cast<std::size_t>(k)] = field(QStringLiteral("txtMap%1").arg(k), map);
        mapGrid->addWidget(new QLabel(k == 0 ? QStringLiteral("N") : QStringLiteral("P"), map), k,
                           0);
        mapGrid->addWidget(m_txtMap[static_cast<std::size_t>(k)], k, 1);
    }
    bottom->addWidget(map);

    auto* run = new QGroupBox(tr("Corvalink"), this);
    auto* runGrid = new QGridLayout(run);
    runGrid->addWidget(new QLabel(tr("Lines"), run), 0, 0);
    m_txtMonCount = field(QStringLiteral("txtMonCount"), run);
    m_txtMonCount->setText(QStringLiteral("0"));
    runGrid->addWidget(m_txtMonCount, 0, 1);
    for (int g = 0; g < kTraceGroupCount; ++g) {
        auto* box = new QCheckBox(tr(groupCaption(g)), run);
        box->setObjectName(QStringLiteral("chkInclude%1").arg(g));
        m_chkInclude[static_cast<std::size_t>(g)] = box;
        runGrid->addWidget(box, 1 + g / 3, g % 3);
    }
    bottom->addWidget(run, 1);

    auto* buttons = new QVBoxLayout;
    const auto button = [&](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    m_cmdLogStart = button(tr("&Start"), "cmdLogStart");
    m_cmdLogStop = button(tr("&End"), "cmdLogStop");
    m_cmdMonMaxRst = button(tr("&Reset"), "cmdMonMaxRst");
    m_cmdSave = button(tr("S&ave"), "cmdSave");
    m_cmdMarker = button(tr("Set &Marker"), "cmdMarker");
    bottom->addLayout(buttons);
    m_markerKey = new MarkerKey(m_live, m_session.prompts, *this, nullptr);
    m_cmdMarker->setEnabled(m_markerKey->action().isEnabled());
    connect(m_cmdMarker, &QPushButton::clicked, &m_markerKey->action(), &QAction::trigger);
    connect(&m_markerKey->action(), &QAction::enabledChanged, m_cmdMarker, &QWidget::setEnabled);
    connect(m_cmdLogStart, &QPushButton::clicked, this, &MonitorWindow::cmdLogStart_Click);
    connect(m_cmdLogStop, &QPushButton::clicked, this, &MonitorWindow::cmdLogStop_Click);
    connect(m_cmdMonMaxRst, &QPushButton::clicked, this, &MonitorWindow::cmdMonMaxRst_Click);
    connect(m_cmdSave, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    showCaptions();
}

void MonitorWindow::showCaptions() {
    const MonitorCaptions& captions = m_session.monitorCaptions;
    const auto show = [](auto* widget, const std::string& text) {
        const QString caption = latin1(text);
        if (widget->text() != caption) widget->setText(caption);
    };
    for (std::size_t i = 0; i < m_lblMonitor.size(); ++i)
        show(m_lblMonitor[i], captions.lblMonitor[i]);
    for (std::size_t i = 0; i < m_lblTuning.size(); ++i)
        show(m_lblTuning[i], captions.lblTuning[i]);
    for (std::size_t k = 0; k < m_lblSensor.size(); ++k) {
        show(m_lblSensor[k], captions.sensorLabels[k]);
        show(m_chkSensor1[k], captions.switchCaptions[k]);
        show(m_chkSensor2[k], captions.switchCaptions[k + 8]);
    }
}

void MonitorWindow::cmdLogStart_Click() {
    if (!m_cmdLogStart->isEnabled() || m_live.running()) return;
    m_cmdLogStart->setEnabled(false);
    LiveRunPlan plan;
    for (std::size_t g = 0; g < plan.include.size(); ++g)
        plan.include[g] = m_chkInclude[g]->isChecked();
    plan.aux = m_aux;
    // Known from the start, so that Continuous may also be chosen while the run goes on.
    plan.target = logPath(m_store, m_session.filesFolder) + defaultLogName();
    m_runTarget = plan.target;
    plan.continuous = m_continuous;
    plan.identify = [this] {
        return SR20DET_Version(m_session, {.FromPFC = true, .CheckData = true});
    };
    plan.checkUnsaved = [this] { return CheckUnsavedLog(); };
    if (!m_live.start(plan, m_thread)) {
        m_cmdLogStart->setEnabled(true);
        return;
    }
    // The check of the version may have switched the layout (the session's view says so too;
    // a window without one still shows the right names).
    showCaptions();
    m_txtMonCount->setText(QStringLiteral("0"));
    m_frames.start();
    emit runningChanged(true);
}

void MonitorWindow::setContinuous(bool on) {
    m_continuous = on;
    m_live.setContinuous(on);
    saveLogContinuous(m_store, on);
}

void MonitorWindow::tellLater(const std::string& text, MessageIcon icon) {
    QTimer::singleShot(0, this, [this, text, icon] { m_session.prompts.tell(text, icon); });
}

void MonitorWindow::framePresented() {
    // The counter and the maxima change with every sample; they are shown once a frame.
    showCountAndMaxima();
}

void MonitorWindow::cmdLogStop_Click() {
    // The run ends here, after the cycle on the wire, not at a next frame that may never come
    // (the program closing).
    m_live.stop();
}

void MonitorWindow::cmdMonMaxRst_Click() {
    m_readout.resetMaxima();
    for (std::size_t i = 0; i < m_txtMonitorMax.size(); ++i)
        m_txtMonitorMax[i]->setText(latin1(m_readout.fields().txtMonitorMax[i]));
}

void MonitorWindow::samplePublished(const PublishedSample& sample) {
    if (sample.refresh) showFields();
}

void MonitorWindow::showCountAndMaxima() {
    for (std::size_t i = 0; i < m_txtMonitorMax.size(); ++i) {
        const QString max = latin1(m_readout.fields().txtMonitorMax[i]);
        if (m_txtMonitorMax[i]->text() != max) m_txtMonitorMax[i]->setText(max);
    }
    m_txtMonCount->setText(QString::number(m_readout.count()));
}

void MonitorWindow::runEnded() {
    m_frames.stop();
    showCountAndMaxima();
    m_cmdLogStart->setEnabled(true);
    emit runningChanged(false);
    if (m_live.end() == LiveRunEnd::NotSaved)
        tellLater(m_live.endMessage(), MessageIcon::Critical);
    else if (const std::string text = endText(); !text.empty())
        tellLater(text, MessageIcon::Exclamation);
}

std::string MonitorWindow::endText() const {
    const LogStore& log = m_live.log();
    // What is in memory and not saved is what a tuner needs to know before anything else.
    const int samples = log.LogUnsaved ? log.LogLast + 1 : 0;
    const std::string kept =
        samples == 1 ? "1 sample is" : std::to_string(samples) + " samples are";
    switch (m_live.end()) {
        case LiveRunEnd::Full:
            return m_live.endMessage();
        case LiveRunEnd::UnitSilent:
            if (samples == 0) return {};
            // A reply the link took as no answer has its own cause to tell.
            if (!m_live.endProblem().empty())
                return m_live.endProblem() + " " + std::to_string(samples) +
                       (samples == 1 ? " sample is" : " samples are") +
                       " kept in memory, not saved.";
            return "The unit stopped answering: " + kept + " kept in memory, not saved.";
        default:
            return {};
    }
}

void MonitorWindow::endRunUnattended() {
    m_live.stop();
    const LogStore& log = m_live.log();
    if (!log.LogUnsaved || !logHasGroups(log) || m_runTarget.empty()) return;
    // The name is of the minute the run started: a log saved earlier in that minute may have it.
    // A log that cannot be written keeps its journal, which the next start offers.
    (void)m_live.save(freeSuffixedPath(continuedLogPath(m_runTarget, m_live.part()), ""));
}

void MonitorWindow::showFields() {
    const MonitorFields& f = m_readout.fields();
    for (std::size_t i = 0; i < m_txtMonitor.size(); ++i)
        m_txtMonitor[i]->setText(latin1(f.txtMonitor[i]));
    for (std::size_t i = 0; i < m_txtTuning.size(); ++i)
        m_txtTuning[i]->setText(latin1(f.txtTuning[i]));
    for (std::size_t k = 0; k < m_txtSensor.size(); ++k) {
        m_txtSensor[k]->setText(latin1(f.txtSensor[k]));
        QPalette p = m_txtSensor[k]->palette();
        if (f.sensorRed[k]) {
            p.setColor(QPalette::Base, QColor(255, 0, 0));
            m_txtSensor[k]->setPalette(p);
        } else {
            m_txtSensor[k]->setPalette(QPalette());
        }
        m_chkSensor1[k]->setChecked(f.chkSensor1[k]);
        m_chkSensor2[k]->setChecked(f.chkSensor2[k]);
    }
    for (std::size_t k = 0; k < m_txtA2D.size(); ++k)
        m_txtA2D[k]->setText(latin1(f.txtA2D[k]));
    for (std::size_t k = 0; k < m_txtMap.size(); ++k)
        m_txtMap[k]->setText(latin1(f.txtMap[k]));
}

std::optional<MessageAnswer> MonitorWindow::CheckUnsavedLog() {
    return m_live.checkUnsaved(m_session.prompts, [this] { cmdSave_Click(); });
}

bool MonitorWindow::cmdSave_Click() {
    cmdLogStop_Click();
    if (!logHasGroups(m_live.log())) return false;
    const std::string path = chooseSavePath ? chooseSavePath(defaultLogName()) : std::string();
    if (path.empty()) return false;
    rememberLogPath(m_store, path);
    if (const std::string error = m_live.save(path); !error.empty()) {
        m_session.prompts.tell(error, MessageIcon::Critical);
        return false;
    }
    return true;
}

void MonitorWindow::saveSettings() {
    saveWindowPlacement(m_store, "Monitor", placementOf(*this));
    IncludeGroups include{};
    for (std::size_t g = 0; g < m_chkInclude.size(); ++g)
        include[g] = m_chkInclude[g]->isChecked();
    saveMonitorInclude(m_store, include);
}

void MonitorWindow::showEvent(QShowEvent* event) {
    showCaptions();
    QWidget::showEvent(event);
}

void MonitorWindow::closeEvent(QCloseEvent* event) {
    // Form_Unload: the run ends with the window; its place and groups are kept.
    cmdLogStop_Click();
    saveSettings();
    QWidget::closeEvent(event);
    emit closed();
}

}  // namespace tunalyx
