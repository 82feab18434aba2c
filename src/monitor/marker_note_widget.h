#pragma once

#include <QFrame>
#include <QObject>
#include <QTimer>

#include "monitor/live_run.h"
#include "ports/user_prompts.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;

namespace tunalyx {

// The small field that tells where a marker was set and takes its optional note: Enter keeps
// the note, Esc or going on (another window, a pause in typing) leaves the marker without one.
// It floats over its window's bottom corner and never holds the run up.
class MarkerNoteWidget final : public QFrame {
    Q_OBJECT
public:
    MarkerNoteWidget(LiveRun& live, UserPrompts& prompts, QWidget& window);
    void showFor(const LogMarker& marker);
    [[nodiscard]] QLineEdit& note() { return *m_note; }
    [[nodiscard]] QString message() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keep();

    LiveRun& m_live;
    UserPrompts& m_prompts;
    QLabel* m_message;
    QLineEdit* m_note;
    QTimer m_idle;
    int m_number = 0;
};

// Log > Set Marker (F8) in one window, usable only while a run is going: sets the run's next
// marker and shows its note field there.
class MarkerKey final : public QObject, public LiveConsumer {
    Q_OBJECT
public:
    // Added to `menu`, or to the window itself when it has no menu.
    MarkerKey(LiveRun& live, UserPrompts& prompts, QWidget& window, QMenu* menu);
    ~MarkerKey() override;

    [[nodiscard]] QAction& action() { return *m_action; }
    [[nodiscard]] MarkerNoteWidget& field() { return *m_field; }
    void setMarker();

    void samplePublished(const PublishedSample& sample) override;
    void runEnded() override;

private:
    LiveRun& m_live;
    QAction* m_action;
    MarkerNoteWidget* m_field;
};

}  // namespace tunalyx
