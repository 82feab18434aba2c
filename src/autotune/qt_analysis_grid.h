#pragma once

#include <QColor>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <optional>

#include "autotune/autotune.h"
#include "autotune/proposal_text.h"
#include "maps/map_grids.h"
#include "ui/qt_text.h"

class QPushButton;

namespace tunalyx {

class Session;

// The map-shaped grid of the analysis windows (Auto Tune, Knock): the map's axis headings, the
// whole map in view, cells as wide as `widest` and selected one block at a time.
[[nodiscard]] QTableWidget* analysisGrid(const Session& session, const QString& widest,
                                         QWidget* parent);

// Locked cells (`kHatchRole` true) are hatched over whatever colour the analysis gives them, and
// predicted ones (`kPredictedRole` true) by a lighter hatch the other way; a cell may have a
// frame of its own colour (`kFrameRole`).
inline constexpr int kHatchRole = Qt::UserRole;
inline constexpr int kFrameRole = Qt::UserRole + 1;
inline constexpr int kPredictedRole = Qt::UserRole + 2;
class AnalysisCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// Shows one cell of an analysis: its text, look and tool tip (a cell's name heads it; none before
// any analysis).
void showAnalysisCell(QTableWidgetItem& item, const QString& text, const CellLook& look,
                      const std::string& toolTip);

[[nodiscard]] QPushButton* analysisButton(const QString& caption, const char* name,
                                          QWidget* parent);

// The block around every range selected, 1-based as the maps count; nothing when none is.
[[nodiscard]] std::optional<CellRange> selectedBlock(const QTableWidget& grid);
// Locks or unlocks the selected cells.
void lockSelected(const QTableWidget& grid, CellLocks& locks, bool locked);

}  // namespace tunalyx
