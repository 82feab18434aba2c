#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace tunalyx {

// "Progress": a status line, a bar from 0 to 100 and "&Cancel", on top of every window.
class ProgressDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ProgressDialog(QWidget* parent = nullptr);

    void start(const QString& status);
    void setPercent(int percent);
    [[nodiscard]] bool cancelRequested() const { return m_cancelRequested; }
    [[nodiscard]] QString status() const;

signals:
    void cancelPressed();

private:
    QLabel* m_status;
    QProgressBar* m_bar;
    bool m_cancelRequested = false;
};

}  // namespace tunalyx
