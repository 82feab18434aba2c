#include "watches/setup_watch_dialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

#include "model/number_format.h"
#include "ui/qt_cell_colour.h"
#include "ui/qt_text.h"
#include "watches/qt_watch_windows.h"

namespace tunalyx {

SetupWatchDialog::SetupWatchDialog(WatchWindows& watches, const TraceItems& items,
                                   UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_watches(watches), m_prompts(prompts) {
    setObjectName(QStringLiteral("frmSetupWatch"));
    setWindowTitle(tr("Setup Watch"));
    // Above the watches, which float above everything else.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    const auto combo = [this](const char* name) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        return c;
    };
    // Enter confirms the dialog: no other button takes it over when it gets the focus.
    const auto button = [this](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_comWatch = combo("comWatch");
    m_comItem = combo("comItem");
    m_txtCaption = new QLineEdit(this);
    m_txtCaption->setObjectName(QStringLiteral("txtCaption"));
    m_comDecimalPlaces = combo("comDecimalPlaces");
    m_comColours = combo("comColours");
    m_comColour = combo("comColour");
    m_txtMaxValue = new QLineEdit(this);
    m_txtMaxValue->setObjectName(QStringLiteral("txtMaxValue"));
    m_cmdColour = button(QStringLiteral("..."), "cmdColour");
    m_cmdBackColour = button(QStringLiteral("..."), "cmdBackColour");
    m_cmdFont = button(tr("Font..."), "cmdFont");
    m_lblFont = new QLabel(tr("Font name"), this);
    m_lblFont->setObjectName(QStringLiteral("lblFont"));
    QPushButton* ok = button(tr("&OK"), "cmdOK");
    QPushButton* cancel = button(tr("&Cancel"), "cmdCancel");
    ok->setDefault(true);
    for (QPushButton* b : {m_cmdColour, m_cmdBackColour})
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);

    // Load: the watches by number and caption, the items by number, the counts.
    for (int i = 0; i < kWatchCount; ++i)
        m_comWatch->addItem(QStringLiteral(" %1. ").arg(i + 1) +
                            latin1(m_watches.watch(i).settings().Caption));
    for (int i = 0; i < kTraceItemCount; ++i)
        m_comItem->addItem(latin1(items.label(i)));
    for (int d = 0; d <= 9; ++d)
        m_comDecimalPlaces->addItem(QString::number(d));
    for (int n = 1; n <= 5; ++n)
        m_comColours->addItem(QString::number(n));

    auto* grid = new QGridLayout(this);
    const auto label = [this](const QString& text) { return new QLabel(text, this); };
    grid->addWidget(label(tr("Watch")), 0, 0);
    grid->addWidget(m_comWatch, 0, 1, 1, 4);
    grid->addWidget(label(tr("Item")), 1, 0);
    grid->addWidget(m_comItem, 1, 1, 1, 4);
    grid->addWidget(label(tr("Caption")), 2, 0);
    grid->addWidget(m_txtCaption, 2, 1, 1, 4);
    grid->addWidget(label(tr("Decimal Places")), 3, 0);
    grid->addWidget(m_comDecimalPlaces, 3, 1);
    grid->addWidget(label(tr("Colours")), 4, 0);
    grid->addWidget(m_comColours, 4, 1);
    grid->addWidget(label(tr("Colour")), 4, 2);
    grid->addWidget(m_comColour, 4, 3, 1, 2);
    grid->addWidget(label(tr("Max Val")), 5, 0);
    grid->addWidget(m_txtMaxValue, 5, 1, 1, 3);
    grid->addWidget(m_cmdColour, 5, 4);
    grid->addWidget(label(tr("BackColour")), 6, 0);
    grid->addWidget(m_cmdBackColour, 6, 4);
    grid->addWidget(m_cmdFont, 7, 0);
    grid->addWidget(m_lblFont, 7, 1, 1, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 8, 0, 1, 5);
    grid->setColumnStretch(3, 1);

    connect(m_comWatch, &QComboBox::activated, this, &SetupWatchDialog::selectWatch);
    connect(m_comColours, &QComboBox::activated, this, &SetupWatchDialog::comColours_Click);
    connect(m_comColour, &QComboBox::activated, this, &SetupWatchDialog::comColour_Click);
    connect(m_comItem, &QComboBox::activated, this, &SetupWatchDialog::comItem_Click);
    connect(m_txtMaxValue, &QLineEdit::editingFinished, this,
            &SetupWatchDialog::txtMaxValue_LostFocus);
    connect(m_cmdColour, &QPushButton::clicked, this, &SetupWatchDialog::cmdColour_Click);
    connect(m_cmdBackColour, &QPushButton::clicked, this, &SetupWatchDialog::cmdBackColour_Click);
    connect(m_cmdFont, &QPushButton::clicked, this, &SetupWatchDialog::cmdFont_Click);
    connect(ok, &QPushButton::clicked, this, &SetupWatchDialog::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    chooseColour = [this](const QColor& initial) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(initial, this);
        return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
    };
    chooseFont = [this](const QFont& initial) -> std::optional<QFont> {
        bool chosen = false;
        const QFont f = QFontDialog::getFont(&chosen, initial, this);
        return chosen ? std::optional<QFont>(f) : std::nullopt;
    };
}

int SetupWatchDialog::selectedWatch() const {
    return m_comWatch->currentIndex();
}

int SetupWatchDialog::band() const {
    return std::max(0, m_comColour->currentIndex());
}

bool SetupWatchDialog::topBand() const {
    return band() == m_comColours->currentIndex();
}

void SetupWatchDialog::selectWatch(int index) {
    m_comWatch->setCurrentIndex(index);
    const WatchSettings w = m_watches.watch(index).settings();
    m_comItem->setCurrentIndex(w.ItemIndex);
    m_comDecimalPlaces->setCurrentIndex(clampDecimalPlaces(w.DecimalPlaces));
    // Set after the item, so the watch's own caption wins over the item's name.
    m_txtCaption->setText(latin1(w.Caption));
    m_backColour = w.BackColour;
    showButtonColour(m_cmdBackColour, m_backColour);
    m_workColour = w.Colour;
    m_workMax = w.MaxValue;
    m_workFont = w;
    m_workFont.FontSize = std::round(w.FontSize);
    showFont();
    m_comColours->setCurrentIndex(clampColours(w.Colours) - 1);
    comColours_Click();
}

void SetupWatchDialog::comColours_Click() {
    m_comColour->clear();
    for (int n = 1; n <= m_comColours->currentIndex() + 1; ++n)
        m_comColour->addItem(QStringLiteral(" %1").arg(n));
    m_comColour->setCurrentIndex(0);
    comColour_Click();
}

void SetupWatchDialog::comColour_Click() {
    const int k = band();
    if (topBand()) {
        // The top band has no limit of its own.
        m_txtMaxValue->setEnabled(false);
        m_txtMaxValue->clear();
    } else {
        m_txtMaxValue->setEnabled(true);
        m_txtMaxValue->setText(
            latin1(formatValue(m_workMax[static_cast<std::size_t>(k)], "", m_watches.locale())));
    }
    showButtonColour(m_cmdColour, m_workColour[static_cast<std::size_t>(k)]);
}

void SetupWatchDialog::txtMaxValue_LostFocus() {
    // The message takes the focus away, which would report the same edit a second time.
    if (topBand() || m_checkingMax) return;
    m_checkingMax = true;
    const auto value = parseUserNumber(m_txtMaxValue->text().toStdString(), m_watches.locale());
    if (value)
        m_workMax[static_cast<std::size_t>(band())] = *value;
    else
        m_prompts.tell("Please enter a numeric value", MessageIcon::Critical);
    m_checkingMax = false;
}

void SetupWatchDialog::comItem_Click() {
    const QString entry = m_comItem->currentText();
    if (const auto blank = entry.indexOf(QLatin1Char(' ')); blank >= 0)
        m_txtCaption->setText(entry.mid(blank + 1));
}

void SetupWatchDialog::cmdColour_Click() {
    std::uint32_t& colour = m_workColour[static_cast<std::size_t>(band())];
    if (const auto chosen = chooseColour(storedQColor(colour))) {
        colour = colourValue(*chosen);
        showButtonColour(m_cmdColour, colour);
    }
}

void SetupWatchDialog::cmdBackColour_Click() {
    if (const auto chosen = chooseColour(storedQColor(m_backColour))) {
        m_backColour = colourValue(*chosen);
        showButtonColour(m_cmdBackColour, m_backColour);
    }
}

void SetupWatchDialog::cmdFont_Click() {
    const auto chosen = chooseFont(watchFont(m_workFont));
    if (!chosen) return;
    m_workFont.FontName = chosen->family().toLatin1().toStdString();
    m_workFont.FontBold = chosen->bold();
    m_workFont.FontItalic = chosen->italic();
    m_workFont.FontSize = std::round(chosen->pointSizeF());
    showFont();
}

void SetupWatchDialog::showFont() {
    m_lblFont->setText(QStringLiteral(" %1pt ").arg(m_workFont.FontSize) +
                       latin1(m_workFont.FontName));
}

void SetupWatchDialog::cmdOK_Click() {
    const int index = selectedWatch();
    WatchWindow& watch = m_watches.watch(index);
    WatchSettings w = watch.settings();
    w.Caption = m_txtCaption->text().toLatin1().toStdString();
    w.Colours = m_comColours->currentIndex() + 1;
    w.Colour = m_workColour;
    w.MaxValue = m_workMax;
    w.BackColour = m_backColour;
    w.ItemIndex = m_comItem->currentIndex();
    w.DecimalPlaces = m_comDecimalPlaces->currentIndex();
    w.FontName = m_workFont.FontName;
    w.FontBold = m_workFont.FontBold;
    w.FontItalic = m_workFont.FontItalic;
    w.FontSize = m_workFont.FontSize;
    watch.apply(w);
    m_watches.Init(index);
    accept();
    watch.show();
    QApplication::processEvents();
}

void SetupWatchDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
}

}  // namespace tunalyx
