#include "history/history_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "compare/comparison_lines.h"
#include "history/restore_tune.h"

namespace tunalyx {

namespace {

enum Column { kId, kTime, kAction, kFile, kVersion, kLogs, kNotes, kColumns };

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QString idText(int id) {
    return QStringLiteral("tune %1").arg(id);
}

}  // namespace

HistoryWindow::HistoryWindow(Session& session, TuneHistory& history, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_session(session), m_history(history) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(tr("Tune History"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    m_problems = new QLabel(central);
    m_problems->setObjectName(QStringLiteral("lblProblems"));
    m_problems->setWordWrap(true);
    m_problems->setStyleSheet(QStringLiteral("color: #a00000"));
    m_problems->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_problems);

    m_list = new QTableWidget(0, kColumns, central);
    m_list->setObjectName(QStringLiteral("lstTunes"));
    m_list->setHorizontalHeaderLabels(
        {tr("ID"), tr("Time"), tr("Action"), tr("File"), tr("Version"), tr("Logs"), tr("Notes")});
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->horizontalHeader()->setSectionResizeMode(kNotes, QHeaderView::Stretch);
    m_details = new QPlainTextEdit(central);
    m_details->setObjectName(QStringLiteral("txtDetails"));
    m_details->setReadOnly(true);
    m_details->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* split = new QSplitter(Qt::Vertical, central);
    split->addWidget(m_list);
    split->addWidget(m_details);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    layout->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    m_cmdRestore = new QPushButton(tr("&Restore"), central);
    m_cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    m_cmdRestore->setToolTip(
        tr("Brings the selected tune into the main window as one edit: "
           "Undo takes it back, Update sends what differs"));
    auto* refresh = new QPushButton(tr("Re&fresh"), central);
    refresh->setObjectName(QStringLiteral("cmdRefresh"));
    buttons->addWidget(m_cmdRestore);
    buttons->addWidget(refresh);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    setCentralWidget(central);
    resize(820, 520);

    connect(m_list, &QTableWidget::itemSelectionChanged, this, &HistoryWindow::selectionChanged);
    connect(m_cmdRestore, &QPushButton::clicked, this, [this] { restoreSelected(); });
    connect(refresh, &QPushButton::clicked, this, &HistoryWindow::reload);
    reload();
}

void HistoryWindow::showEvent(QShowEvent* event) {
    reload();
    QMainWindow::showEvent(event);
    m_list->setFocus();
}

void HistoryWindow::reload() {
    const std::vector<int> kept = selectedIds();
    m_index = m_history.load();
    QStringList problems;
    for (const std::string& p : m_index.problems)
        problems << text(p);
    m_problems->setText(problems.join(QLatin1Char('\n')));
    m_problems->setVisible(!problems.isEmpty());

    const QSignalBlocker quiet(m_list);
    m_list->clearSelection();
    // A live session's tunes are one entry; the row stands for the last of them, the tune the
    // unit was left with, and every one of them stays restorable by its ID.
    // Newest first; an entry whose tune the index does not hold gets no row.
    std::vector<std::pair<HistoryEntry, const TuneSnapshot*>> rows;
    for (HistoryEntry& e : historyEntries(m_index))
        if (const TuneSnapshot* s = m_index.find(e.ids.back())) rows.emplace_back(std::move(e), s);
    std::reverse(rows.begin(), rows.end());
    m_list->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const HistoryEntry* e = &rows[static_cast<std::size_t>(row)].first;
        const TuneSnapshot* s = rows[static_cast<std::size_t>(row)].second;
        QString id = QString::number(s->id);
        if (e->ids.size() > 1) id = QString::number(e->ids.front()) + QStringLiteral("-") + id;
        std::size_t logs = 0;
        std::vector<std::string> seen;
        for (int each : e->ids)
            for (const LogLink& log : m_index.logsOf(each))
                if (std::find(seen.begin(), seen.end(), log.time + log.file) == seen.end()) {
                    seen.push_back(log.time + log.file);
                    ++logs;
                }
        const QString cells[kColumns] = {
            id,
            text(s->time),
            text(e->action),
            s->missing ? text(s->file) + tr(" (missing)") : text(s->file),
            text(s->unit + " " + s->version),
            QString::number(logs),
            text(s->notesLine)};
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setData(Qt::UserRole, s->id);
            if (s->missing) item->setForeground(Qt::gray);
            m_list->setItem(row, c, item);
        }
        if (std::find(kept.begin(), kept.end(), s->id) != kept.end())
            m_list->selectionModel()->select(
                m_list->model()->index(row, kId),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // The newest is the one a tuner most often looks at first.
    if (m_list->selectedItems().isEmpty() && m_list->rowCount() > 0) m_list->selectRow(0);
    selectionChanged();
}

std::vector<int> HistoryWindow::selectedIds() const {
    std::vector<int> ids;
    for (const QModelIndex& row : m_list->selectionModel()->selectedRows())
        ids.push_back(m_list->item(row.row(), kId)->data(Qt::UserRole).toInt());
    // Older first.
    std::sort(ids.begin(), ids.end());
    return ids;
}

QString HistoryWindow::tuneText(const TuneSnapshot& s) const {
    QString out =
        tr("Tune %1: %2 at %3, %4, %5 %6\n")
            .arg(s.id)
            .arg(text(s.action), text(s.time), text(s.file), text(s.unit), text(s.version));
    if (!s.notesLine.empty()) out += tr("Notes: %1\n").arg(text(s.notesLine));
    for (const std::string& line : acceptedRiskLines(s))
        out += text(line) + QLatin1Char('\n');
    if (s.missing)
        out += tr("Its file %1 is missing: it cannot be compared or restored.\n")
                   .arg(text(m_history.snapshotPath(s.hash)));
    const std::vector<LogLink> logs = m_index.logsOf(s.id);
    if (logs.empty()) {
        out += tr("\nNo log was saved while the unit held this tune.\n");
        return out;
    }
    out += tr("\nLogs saved while the unit held this tune:\n");
    for (const LogLink& log : logs)
        out += QStringLiteral("  %1  %2\n").arg(text(log.time), text(log.file));
    return out;
}

QString HistoryWindow::differencesText(const TuneSnapshot& a, const TuneSnapshot& b) const {
    std::string error;
    for (const TuneSnapshot* s : {&a, &b})
        if (!m_history.snapshotText(m_index, s->id, error)) return text(error);
    const FileComparison c = compareDataFiles(
        m_history.snapshotPath(a.hash), idText(a.id).toStdString(), m_history.snapshotPath(b.hash),
        idText(b.id).toStdString(), false, m_session.prompts, CellNames::Axes);
    if (!c.compared) return tr("Tunes %1 and %2 cannot be compared.").arg(a.id).arg(b.id);
    if (!c.differs)
        return tr("Tunes %1 and %2 hold the same settings, notes and maps.").arg(a.id).arg(b.id);
    return tr("Tune %1 against tune %2, as tunalyx-cli history diff %1 %2 prints it (a cell "
              "shows tune %1's value less tune %2's):\n\n")
               .arg(a.id)
               .arg(b.id) +
           text(c.lines);
}

void HistoryWindow::selectionChanged() {
    const std::vector<int> ids = selectedIds();
    const TuneSnapshot* one = ids.size() == 1 ? m_index.find(ids[0]) : nullptr;
    m_cmdRestore->setEnabled(one && !one->missing);
    if (one) {
        m_details->setPlainText(tuneText(*one));
    } else if (ids.size() == 2) {
        // What changed on the way to the newer: it is read against the older.
        m_details->setPlainText(differencesText(*m_index.find(ids[1]), *m_index.find(ids[0])));
    } else if (m_index.snapshots.empty()) {
        m_details->setPlainText(tr("No tune has been kept in %1 yet.\nEvery Read All, Write All, "
                                   "Update, Write, Open, Save As and Auto Tune Apply that "
                                   "succeeds keeps one.")
                                    .arg(text(m_history.folder())));
    } else {
        m_details->setPlainText(
            ids.empty() ? tr("Select a tune to see its logs and restore it; select two to see "
                             "what differs between them.")
                        : tr("Select one tune, or two to compare."));
    }
}

bool HistoryWindow::restoreSelected() {
    const std::vector<int> ids = selectedIds();
    if (ids.size() != 1) return false;
    if (!restoreSnapshot(m_session, m_session.prompts, m_history, m_index, ids[0])) return false;
    emit restored();
    return true;
}

}  // namespace tunalyx
