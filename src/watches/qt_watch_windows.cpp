#include "watches/qt_watch_windows.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <exception>

#include "monitor/live_decode.h"

namespace tunalyx {

namespace {

constexpr const char* kOpenFilter = "All Files (*.*);;Corvalink Watch Files (*.dwf)";
constexpr const char* kSaveFilter = "All Files (*.*);;Corvalink Watch Files(*.dwf)";

}  // namespace

WatchWindows::WatchWindows(Session& session, LiveRun& live, SettingsStore& store, FileWriter& files,
                           QWidget* owner)
    : QObject(owner),
      m_session(session),
      m_live(live),
      m_log(live.log()),
      m_store(store),
      m_files(files),
      m_owner(owner) {
    for (int i = 0; i < kWatchCount; ++i) {
        auto* w = new WatchWindow(i, m_session.codec.locale(), owner);
        connect(w, &WatchWindow::setupRequested, this, &WatchWindows::editWatch);
        m_windows[static_cast<std::size_t>(i)] = w;
    }
    const auto start = [this](const char* name) {
        return QString::fromStdString(watchFilePath(m_store, m_session.filesFolder) + name);
    };
    chooseFileToOpen = [this, start] {
        QString selected = QStringLiteral("Corvalink Watch Files (*.dwf)");
        return QFileDialog::getOpenFileName(m_owner, tr("Load Watchs"), start(""),
                                            QString::fromLatin1(kOpenFilter), &selected)
            .toStdString();
    };
    chooseFileToSave = [this, start] {
        QString selected = QStringLiteral("Corvalink Watch Files(*.dwf)");
        return QFileDialog::getSaveFileName(m_owner, tr("Save Watchs"), start("Watch1.dwf"),
                                            QString::fromLatin1(kSaveFilter), &selected)
            .toStdString();
    };
    m_live.addConsumer(this);
}

WatchWindows::~WatchWindows() {
    m_live.removeConsumer(this);
    m_setup.reset();
    for (WatchWindow*& w : m_windows) {
        delete w;
        w = nullptr;
    }
}

WatchSet WatchWindows::settings() const {
    WatchSet set;
    for (int i = 0; i < kWatchCount; ++i)
        set[static_cast<std::size_t>(i)] = m_windows[static_cast<std::size_t>(i)]->settings();
    return set;
}

void WatchWindows::WatchsRestore() {
    const WatchSet set = loadWatches(m_store);
    for (int i = 0; i < kWatchCount; ++i) {
        watch(i).apply(set[static_cast<std::size_t>(i)]);
        Init(i);
    }
}

void WatchWindows::saveAndUnload() {
    saveWatches(m_store, settings());
    for (WatchWindow* w : m_windows)
        w->hide();
}

void WatchWindows::Init(int index) {
    WatchWindow& w = watch(index);
    const int sample = currentSample ? currentSample() : 0;
    w.Init(m_log.LogData(w.ItemIndex(), std::clamp(sample, 0, LogStore::kSamples - 1)),
           itemPrecision(m_session.trace, w.ItemIndex()));
}

SetupWatchDialog& WatchWindows::setupDialog() {
    if (!m_setup)
        m_setup =
            std::make_unique<SetupWatchDialog>(*this, m_session.trace, m_session.prompts, m_owner);
    return *m_setup;
}

bool WatchWindows::runSetup(int index) {
    SetupWatchDialog& dialog = setupDialog();
    dialog.selectWatch(index);
    const bool confirmed = showSetup ? showSetup(dialog) : dialog.exec() == QDialog::Accepted;
    // Cancel unloads the dialog; after OK it stays, hidden, with the lists it has.
    if (!confirmed) m_setup.reset();
    return confirmed;
}

void WatchWindows::mnuWatch_Click() {
    const auto hidden = std::find_if(m_windows.begin(), m_windows.end(),
                                     [](const WatchWindow* w) { return !w->isVisible(); });
    if (hidden == m_windows.end()) return;
    const int index = static_cast<int>(hidden - m_windows.begin());
    runSetup(index);
    if (index == kWatchCount - 1 && watch(index).isVisible() && m_addEnabled) {
        m_addEnabled = false;
        emit addWatchEnabledChanged(false);
    }
}

void WatchWindows::editWatch(int index) {
    runSetup(index);
    Init(index);
}

void WatchWindows::HideWatchs() {
    for (WatchWindow* w : m_windows)
        w->hide();
}

void WatchWindows::showSample(int sample) {
    if (sample < 0 || sample >= LogStore::kSamples) return;
    for (WatchWindow* w : m_windows)
        if (w->isVisible())
            w->DisplayWatchValue(m_log.LogData(w->ItemIndex(), sample),
                                 itemPrecision(m_session.trace, w->ItemIndex()));
}

void WatchWindows::showSampleOf(const SampleSource& samples, int sample) {
    if (sample < 0 || sample >= samples.sampleCount()) return;
    for (WatchWindow* w : m_windows)
        if (const double v = samples.value(w->ItemIndex(), sample);
            w->isVisible() && !std::isnan(v))
            w->DisplayWatchValue(v, itemPrecision(m_session.trace, w->ItemIndex()));
}

void WatchWindows::samplePublished(const PublishedSample& sample) {
    if (sample.refresh) showSample(sample.index);
}

void WatchWindows::WatchsLoad() {
    try {
        const std::string path = chooseFileToOpen ? chooseFileToOpen() : std::string();
        if (path.empty()) return;
        WatchFileRead(path);
        rememberWatchFilePath(m_store, path);
    } catch (const std::exception&) {
        m_session.prompts.tell("Error during frmMain.mnuWatchsLoad_Click", MessageIcon::Critical);
    }
}

void WatchWindows::WatchsSave() {
    try {
        const std::string path = chooseFileToSave ? chooseFileToSave() : std::string();
        if (path.empty()) return;
        WatchFileWrite(path);
        rememberWatchFilePath(m_store, path);
    } catch (const std::exception&) {
        m_session.prompts.tell("Error during frmMain.mnuWatchSave_Click", MessageIcon::Critical);
    }
}

KeyFileOutcome WatchWindows::WatchFileRead(const std::string& path) {
    WatchSet set = settings();
    const KeyFileOutcome outcome = openWatchFile(
        path, set, m_session.trace, {m_session.VerName, m_session.VerNumber}, m_session.prompts);
    // A file is taken whole or not at all.
    if (outcome != KeyFileOutcome::Loaded) return outcome;
    for (int i = 0; i < kWatchCount; ++i) {
        watch(i).apply(set[static_cast<std::size_t>(i)]);
        Init(i);
    }
    return outcome;
}

bool WatchWindows::WatchFileWrite(const std::string& path) {
    const std::string error = saveWatchFile(
        settings(), m_session.trace, {m_session.VerName, m_session.VerNumber}, m_files, path);
    if (error.empty()) return true;
    m_session.prompts.tell("Error saving file");
    return false;
}

}  // namespace tunalyx
