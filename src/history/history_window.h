#pragma once

#include <QMainWindow>

#include "history/tune_history.h"
#include "monitor/live_consumer.h"
#include "session/session.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace tunalyx {

// File > History: the tunes kept, newest first. One selected shows the logs that ran on it and
// can be restored into the window as one undoable edit; two selected show what differs between
// them as the command line's diff prints it. Damaged index lines and missing tune files are
// named; the rest works.
class HistoryWindow final : public QMainWindow, public LiveConsumer {
    Q_OBJECT
public:
    HistoryWindow(Session& session, TuneHistory& history, QWidget* parent = nullptr);

    // Reads the index again: on every show, after the window's own commands, and whenever the
    // history grows while it shows.
    void reload();
    void historyChanged() {
        if (isVisible()) reload();
    }
    // LiveConsumer: a log saved is linked to its tune by the time it is told here.
    void logSaved(const SavedLog& /*saved*/) override { historyChanged(); }
    // The selected tune into the window's data; true when it was restored.
    bool restoreSelected();

    [[nodiscard]] QTableWidget* list() const { return m_list; }
    [[nodiscard]] QPlainTextEdit* details() const { return m_details; }
    [[nodiscard]] QPushButton* restoreButton() const { return m_cmdRestore; }
    [[nodiscard]] QLabel* problems() const { return m_problems; }

signals:
    // A tune was restored: the main window shows it and offers Update.
    void restored();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void selectionChanged();
    [[nodiscard]] std::vector<int> selectedIds() const;
    [[nodiscard]] QString tuneText(const TuneSnapshot& tune) const;
    [[nodiscard]] QString differencesText(const TuneSnapshot& a, const TuneSnapshot& b) const;

    Session& m_session;
    TuneHistory& m_history;
    HistoryIndex m_index;
    QLabel* m_problems;
    QTableWidget* m_list;
    QPlainTextEdit* m_details;
    QPushButton* m_cmdRestore;
};

}  // namespace tunalyx
