#pragma once

#include <QDialog>

#include "model/number_format.h"

class QLineEdit;

namespace tunalyx {

// Edit > Scale: the percentage the selected cells are scaled by and the offset added after.
class ScaleDialog final : public QDialog {
    Q_OBJECT
public:
    ScaleDialog(const NumberLocale& locale, QWidget* parent = nullptr);

    [[nodiscard]] double percent() const { return m_percent; }
    [[nodiscard]] double offset() const { return m_offset; }
    // OK: both fields must be numbers; a message names the one that is not.
    void cmdOK_Click();

private:
    const NumberLocale& m_locale;
    QLineEdit* m_txtPercent;
    QLineEdit* m_txtOffset;
    double m_percent = 100;
    double m_offset = 0;
};

}  // namespace tunalyx
