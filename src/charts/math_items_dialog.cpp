#include "charts/math_items_dialog.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tunalyx {

namespace {

enum Column { kName, kExpression, kProblem };

std::string text(const QLineEdit* box) {
    return box->text().toStdString();
}

}  // namespace

MathItemsDialog::MathItemsDialog(const std::vector<MathDefinition>& definitions,
                                 const TraceItems& items, QWidget* parent)
    : QDialog(parent), m_items(items), m_table(new QTableWidget(0, 3, this)) {
    setObjectName(QStringLiteral("frmMathItems"));
    setWindowTitle(tr("Math Items"));
    m_table->setObjectName(QStringLiteral("tblMathItems"));
    m_table->setHorizontalHeaderLabels({tr("Name"), tr("Expression"), QString()});
    m_table->horizontalHeader()->setSectionResizeMode(kExpression, QHeaderView::Stretch);
    m_table->setColumnWidth(kName, 130);
    m_table->setColumnWidth(kProblem, 260);
    m_table->verticalHeader()->setVisible(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* hint = new QLabel(
        tr("Items by name (Rpm, Boost) or label in quotes (\"Advanced Boost\", \"TPS V\"); "
           "+ - * / ^, min(a, b), max(a, b), abs(x), smooth(X, 0.5s), Rpm[-1], Boost@-0.5s."),
        this);
    hint->setWordWrap(true);
    m_add = new QPushButton(tr("&Add"), this);
    m_add->setObjectName(QStringLiteral("cmdAdd"));
    m_remove = new QPushButton(tr("&Remove"), this);
    m_remove->setObjectName(QStringLiteral("cmdRemove"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("cmdOK"));

    auto* edit = new QHBoxLayout;
    edit->addWidget(m_add);
    edit->addWidget(m_remove);
    edit->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_table, 1);
    layout->addLayout(edit);
    layout->addWidget(buttons);
    resize(820, 360);

    for (std::size_t k = 0; k < definitions.size(); ++k)
        addRow(definitions[k], static_cast<int>(k));
    connect(m_add, &QPushButton::clicked, this, &MathItemsDialog::addItem);
    connect(m_remove, &QPushButton::clicked, this, &MathItemsDialog::removeItem);
    connect(buttons, &QDialogButtonBox::accepted, this, &MathItemsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    check();
}

void MathItemsDialog::addRow(const MathDefinition& definition, int origin) {
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    m_origins.push_back(origin);
    for (const int column : {kName, kExpression}) {
        auto* box = new QLineEdit(
            QString::fromStdString(column == kName ? definition.name : definition.expression));
        box->setObjectName(column == kName ? QStringLiteral("txtName")
                                           : QStringLiteral("txtExpression"));
        box->setFrame(false);
        box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, &MathItemsDialog::check);
        m_table->setCellWidget(row, column, box);
    }
    auto* problem = new QTableWidgetItem;
    problem->setFlags(Qt::ItemIsEnabled);
    problem->setForeground(Qt::darkRed);
    m_table->setItem(row, kProblem, problem);
}

QLineEdit* MathItemsDialog::box(int row, int column) const {
    return qobject_cast<QLineEdit*>(m_table->cellWidget(row, column));
}

bool MathItemsDialog::eventFilter(QObject* watched, QEvent* event) {
    // Remove takes the row being typed in.
    if (event->type() == QEvent::FocusIn)
        for (int row = 0; row < m_table->rowCount(); ++row)
            if (watched == box(row, kName) || watched == box(row, kExpression))
                m_table->selectRow(row);
    return QDialog::eventFilter(watched, event);
}

void MathItemsDialog::addItem() {
    if (m_table->rowCount() >= kMaxMathItems) return;
    addRow({"Math" + std::to_string(m_table->rowCount() + 1), ""}, -1);
    check();
    box(m_table->rowCount() - 1, kExpression)->setFocus();
    m_table->selectRow(m_table->rowCount() - 1);
}

void MathItemsDialog::removeItem() {
    const int row = m_table->currentRow();
    if (row < 0 || row >= m_table->rowCount()) return;
    m_table->removeRow(row);
    m_origins.erase(m_origins.begin() + row);
    check();
}

QString MathItemsDialog::problem(int row) const {
    const QTableWidgetItem* item = m_table->item(row, kProblem);
    return item ? item->text() : QString();
}

void MathItemsDialog::check() {
    std::vector<std::string> names;
    bool allParse = true;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const std::string name = text(box(row, kName));
        std::string why = mathNameError(name, m_items, names);
        if (why.empty()) why = mathExpressionError(text(box(row, kExpression)), m_items, names);
        m_table->item(row, kProblem)->setText(QString::fromStdString(why));
        allParse = allParse && why.empty();
        names.push_back(name);
    }
    m_ok->setEnabled(allParse);
    m_add->setEnabled(m_table->rowCount() < kMaxMathItems);
}

std::vector<MathDefinition> MathItemsDialog::definitions() const {
    std::vector<MathDefinition> out;
    for (int row = 0; row < m_table->rowCount(); ++row)
        out.push_back({text(box(row, kName)), text(box(row, kExpression))});
    return out;
}

void MathItemsDialog::accept() {
    // Nothing that does not parse is kept, however OK was reached.
    if (!MathItems::compile(definitions(), m_items)) return;
    QDialog::accept();
}

}  // namespace tunalyx
