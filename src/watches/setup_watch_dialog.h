#pragma once

#include <QDialog>
#include <QFont>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "model/trace_items.h"
#include "ports/user_prompts.h"
#include "watches/watch_settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tunalyx {

class WatchWindows;

// frmSetupWatch: one watch at a time, its item, caption, decimals, bands and font. It works on
// copies and changes the watch only on OK; after OK it stays loaded, hidden, for the next use.
class SetupWatchDialog final : public QDialog {
    Q_OBJECT
public:
    SetupWatchDialog(WatchWindows& watches, const TraceItems& items, UserPrompts& prompts,
                     QWidget* parent = nullptr);

    // comWatch click: the dialog shows watch `index`.
    void selectWatch(int index);
    void comColours_Click();
    void comColour_Click();
    void txtMaxValue_LostFocus();
    void comItem_Click();
    void cmdColour_Click();
    void cmdBackColour_Click();
    void cmdFont_Click();
    void cmdOK_Click();

    [[nodiscard]] int selectedWatch() const;

    // The colour and font dialogs; tests answer them instead.
    std::function<std::optional<QColor>(const QColor& initial)> chooseColour;
    std::function<std::optional<QFont>(const QFont& initial)> chooseFont;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showFont();
    [[nodiscard]] int band() const;
    [[nodiscard]] bool topBand() const;

    WatchWindows& m_watches;
    UserPrompts& m_prompts;
    QComboBox* m_comWatch;
    QComboBox* m_comItem;
    QLineEdit* m_txtCaption;
    QComboBox* m_comDecimalPlaces;
    QComboBox* m_comColours;
    QComboBox* m_comColour;
    QLineEdit* m_txtMaxValue;
    QPushButton* m_cmdColour;
    QPushButton* m_cmdBackColour;
    QPushButton* m_cmdFont;
    QLabel* m_lblFont;
    std::array<std::uint32_t, 5> m_workColour{};
    std::array<double, 4> m_workMax{};
    std::uint32_t m_backColour = kButtonFaceColour;
    WatchSettings m_workFont;  // the font fields only
    bool m_checkingMax = false;
};

}  // namespace tunalyx
