#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <array>

#include "maps/grid_keys.h"
#include "maps/heat_colours.h"
#include "maps/table_tools.h"
#include "session/session.h"
#include "transfer/block_names.h"

class QLineEdit;
class QMenu;

namespace tunalyx {

// The 20 x 20 cells of one map for a QTableView: texts come straight from the image through the
// session's maps, so a redisplay is one dataChanged signal. Compare mode may lay texts of its own
// over the cells; the backgrounds are the session's cell colours (ghost trail, compare).
class MapGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    MapGridModel(Session& session, int grid, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void redisplay();
    void setLabels(const std::vector<std::string>& columns, const std::vector<std::string>& rows);
    // The session's colours of these cells changed.
    void coloursChanged(const CellRange& range);
    // Texts shown instead of the image's values (compare mode), all cells in one repaint;
    // redisplay() shows the image again.
    using CellTexts = std::array<std::array<QString, kMapCols>, kMapRows>;
    void setOverrideTexts(const CellTexts& texts);
    [[nodiscard]] QString cellText(int row, int col) const;
    // Heat colours: cells without a colour of their own shaded by their value's place in the map.
    void setHeat(bool on);
    // The cells of this map the unit did not keep as written: framed, with a tool tip saying what
    // was sent and what came back, for as long as they stay marked for Update. Replaces the last.
    void setNotKept(const std::vector<UnkeptValue>& values);
    [[nodiscard]] bool notKept(int row, int col) const;

private:
    Session& m_session;
    int m_grid;
    QStringList m_columnLabels;
    QStringList m_rowLabels;
    CellTexts m_override;
    bool m_hasOverride = false;
    bool m_heat = false;
    RawSpan m_span;       // of the values shown, for the heat colours
    CellTexts m_notKept;  // tool tips of the cells not kept; null elsewhere
};

// Grid(i): a map as a keyboard-driven editor. Edits go through the session's maps, which mark
// the image, the block and the cell.
class MapGridWidget final : public QTableView {
    Q_OBJECT
public:
    MapGridWidget(Session& session, int grid, QWidget* parent = nullptr);

    [[nodiscard]] int grid() const { return m_grid; }
    [[nodiscard]] MapGridModel& cells() { return m_model; }
    // The selection as the grid control has it: (row, col) is the cell the selection started
    // from, (rowSel, colSel) the corner that moves with the mouse or the arrow keys.
    [[nodiscard]] CellRange selectionRange() const;
    void setSelectionRange(const CellRange& range);
    void GridDisplay() { m_model.redisplay(); }
    void GridLabels(bool fromMapReference);
    // The in-place editor, visible while a value is being typed.
    [[nodiscard]] QLineEdit* editor() const { return m_txtGrid; }
    [[nodiscard]] bool editing() const { return m_editGrid != -1; }
    // Starts in-place editing with `text` already typed (GridStartEdit).
    void GridStartEdit(const QString& text);
    // The context menu shown on a right click (the "&Maps" menu of the main window).
    void setContextMenu(QMenu* menu) { m_contextMenu = menu; }
    // Copy and paste of the selection's clip text.
    void copySelection();
    void pasteClipboard();

    // The table tools on the selection, each one step of the edit history; nothing in compare
    // mode.
    void interpolate(InterpolateMode mode);
    void smooth();
    void scale(double percent, double offset);

    QSize minimumSizeHint() const override;

signals:
    // Right click: the window shows the Maps menu with Copy, Paste and Ghost Clear.
    void contextMenuRequested(int grid, const QPoint& globalPos);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void GridPlaceEditor();
    void commitEditor();
    void showTexts(const std::vector<CellText>& texts);
    // Runs an edit of `range` as one step of the history, named "<action> <map> <cells>".
    template <typename Edit>
    void recordEdit(const char* action, const CellRange& range, Edit&& edit);
    void sizeColumns();
    // The width a column needs at these metrics for its widest value and every heading.
    [[nodiscard]] int columnNeeds(const QFontMetrics& fm) const;
    // The height a row (and the heading row) needs at these metrics.
    [[nodiscard]] int rowNeeds(const QFontMetrics& fm) const;
    [[nodiscard]] int headingMargins() const;
    void fitFont(int columnWidth, int height);

    Session& m_session;
    int m_grid;
    MapGridModel m_model;
    QLineEdit* m_txtGrid;
    QMenu* m_contextMenu = nullptr;
    CellRange m_editRange;
    int m_editGrid = -1;
    Qt::MouseButton m_mouseButton = Qt::NoButton;
    double m_baseFontSize = 9;
};

}  // namespace tunalyx
