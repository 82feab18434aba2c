#include "ui/progress_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunalyx {

ProgressDialog::ProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint),
      m_status(new QLabel(this)),
      m_bar(new QProgressBar(this)) {
    setObjectName(QStringLiteral("frmProgress2"));
    setWindowTitle(tr("Progress"));
    m_bar->setRange(0, 100);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cancel, &QPushButton::clicked, this, [this] {
        m_cancelRequested = true;
        emit cancelPressed();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_bar);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    setMinimumWidth(320);
    // The window under it keeps the keyboard: the dialog is there to be watched and cancelled.
    setAttribute(Qt::WA_ShowWithoutActivating);
}

void ProgressDialog::start(const QString& status) {
    m_cancelRequested = false;
    m_status->setText(status);
    m_bar->setValue(0);
    show();
    raise();
}

void ProgressDialog::setPercent(int percent) {
    m_bar->setValue(std::clamp(percent, 0, 100));
}

QString ProgressDialog::status() const {
    return m_status->text();
}

}  // namespace tunalyx
