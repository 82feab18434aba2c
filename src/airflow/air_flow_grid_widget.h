#pragma once

#include <QAbstractTableModel>
#include <QTableView>

#include <functional>

#include "airflow/air_flow_grid.h"
#include "session/session.h"

class QLineEdit;

namespace tunalyx {

// The 3 x 32 cells for a QTableView; texts come straight from the image, so a redisplay is one
// dataChanged signal.
class AirFlowGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit AirFlowGridModel(const AirFlowGrid& grid, QObject* parent = nullptr)
        : QAbstractTableModel(parent), m_grid(grid) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void redisplay();

private:
    const AirFlowGrid& m_grid;
};

// `uctAirFlowGrid`: the air flow meter curves as a keyboard-driven editor with an in-place edit
// box, `txtGrid`. Writes go through the session's settings codec, which flags the blocks and
// enables Update.
class AirFlowGridWidget final : public QTableView {
    Q_OBJECT
public:
    explicit AirFlowGridWidget(Session& session, QWidget* parent = nullptr);

    // Redisplays every cell from the image (after a read, an open or a layout switch).
    void Refresh();

    // (row, col) is the cell the selection started from, (rowSel, colSel) the moving corner.
    [[nodiscard]] CellRange selectionRange() const;
    void setSelectionRange(const CellRange& range);
    // The in-place editor, visible while a value is being typed.
    [[nodiscard]] QLineEdit* editor() const { return m_txtGrid; }
    void copySelection();
    void pasteClipboard();
    // The table tools along the selected rows, each one step of the edit history; nothing in
    // compare mode.
    void interpolateRows();
    void smoothRows();
    void scale(double percent, double offset);

    QSize sizeHint() const override;

signals:
    // Cells were written from the keyboard, the editor or the clipboard (curve displays of the
    // same blocks may want to follow).
    void cellsWritten();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startEdit(const QString& text);
    void commitEditor();
    // One undo step for an edit of the curves, then the redraw.
    void recordEdit(const char* label, const std::function<void()>& edit);
    void written();
    [[nodiscard]] int contentWidth() const;
    void fitHeight();

    Session& m_session;
    AirFlowGrid m_grid;
    AirFlowGridModel m_model;
    QLineEdit* m_txtGrid;
    CellRange m_editRange;
    bool m_cancelled = true;  // nothing to commit until editing starts
};

}  // namespace tunalyx
