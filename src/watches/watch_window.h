#pragma once

#include <QWidget>

#include <array>
#include <cstdint>

#include "model/number_format.h"
#include "watches/watch_settings.h"

class QLabel;

namespace tunalyx {

// frmWatch: one live quantity as a large number, coloured by the band its shown text falls in.
// The window floats above every other; its close box only hides it. The fields may be changed
// freely; the bands take effect with InitArrays (or Init).
class WatchWindow final : public QWidget {
    Q_OBJECT
public:
    WatchWindow(int index, const NumberLocale& locale, QWidget* owner);

    // The watch's own number, 0..9 (its Tag).
    [[nodiscard]] int index() const { return m_index; }
    [[nodiscard]] int ItemIndex() const { return m_fields.ItemIndex; }
    [[nodiscard]] QLabel* lblValue() const { return m_lblValue; }

    // Everything the watch is, its window included; and all of it set at once. Setting leaves
    // the working band arrays as they were, as any change of the fields does.
    [[nodiscard]] WatchSettings settings() const;
    void apply(const WatchSettings& settings);

    void InitArrays();
    // `precision`: how the item's value was held (a single shows its own digits).
    void DisplayWatchValue(double value, Precision precision = Precision::Double);
    // InitArrays, the value shown, the label laid out.
    void Init(double value, Precision precision = Precision::Double);

signals:
    // A double click on the window or its value: the setup dialog on this watch.
    void setupRequested(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void lblValue_Change();
    // The window grows to what its text needs.
    void fitText();
    void layoutLabel();

    static constexpr int kTextMargin = 4;  // pixels beside and above the text

    int m_index;
    const NumberLocale& m_locale;
    QLabel* m_lblValue;
    WatchSettings m_fields;  // the item, bands, decimals and font as set
    std::array<std::uint32_t, 5> m_bandColour{};
    std::array<double, 4> m_bandMax{};
};

// The value label's font: the stored name as written, and the platform's sans-serif in its
// place when that font is not installed.
[[nodiscard]] QFont watchFont(const WatchSettings& settings);

}  // namespace tunalyx
