#pragma once

#include <QDialog>

#include <vector>

#include "model/trace_items.h"
#include "monitor/math_items.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tunalyx {

// The user's math items: a name and an expression each, in order (an item may use those above
// it). Each row says as it is typed why it does not parse; OK is refused until every row does.
class MathItemsDialog final : public QDialog {
    Q_OBJECT
public:
    MathItemsDialog(const std::vector<MathDefinition>& definitions, const TraceItems& items,
                    QWidget* parent = nullptr);

    // The items as edited and, for each, the row it was before (-1 for an added one).
    [[nodiscard]] std::vector<MathDefinition> definitions() const;
    [[nodiscard]] const std::vector<int>& origins() const { return m_origins; }

    void addItem();
    void removeItem();
    // Why the row does not parse, as shown beside it; empty when it does.
    [[nodiscard]] QString problem(int row) const;

    void accept() override;

private:
    void addRow(const MathDefinition& definition, int origin);
    void check();
    [[nodiscard]] QLineEdit* box(int row, int column) const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    const TraceItems& m_items;
    QTableWidget* m_table;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_ok;
    std::vector<int> m_origins;
};

}  // namespace tunalyx
