#include "maps/scale_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace tunalyx {

ScaleDialog::ScaleDialog(const NumberLocale& locale, QWidget* parent)
    : QDialog(parent), m_locale(locale) {
    setObjectName(QStringLiteral("frmScale"));
    setWindowTitle(tr("Scale"));
    m_txtPercent = new QLineEdit(QStringLiteral("100"), this);
    m_txtPercent->setObjectName(QStringLiteral("txtPercent"));
    m_txtOffset = new QLineEdit(QStringLiteral("0"), this);
    m_txtOffset->setObjectName(QStringLiteral("txtOffset"));
    auto* form = new QFormLayout(this);
    form->addRow(tr("Percent"), m_txtPercent);
    form->addRow(tr("Then add"), m_txtOffset);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &ScaleDialog::cmdOK_Click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_txtPercent->selectAll();
}

void ScaleDialog::cmdOK_Click() {
    const auto percent = parseUserNumber(m_txtPercent->text().toStdString(), m_locale);
    const auto offset = parseUserNumber(m_txtOffset->text().toStdString(), m_locale);
    if (!percent || !offset) {
        QMessageBox::critical(this, windowTitle(), tr("Please enter a numeric value"));
        (percent ? m_txtOffset : m_txtPercent)->setFocus();
        return;
    }
    m_percent = *percent;
    m_offset = *offset;
    accept();
}

}  // namespace tunalyx
