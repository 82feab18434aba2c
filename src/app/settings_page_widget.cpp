#include "app/settings_page_widget.h"

#include "airflow/air_flow_grid_widget.h"
#include "model/descriptors.h"
#include "ports/bytes.h"
#include "transfer/data_file.h"
#include "transfer/write_check.h"
#include "ui/qt_edit_keys.h"
#include "ui/qt_text.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

namespace tunalyx {

namespace {

constexpr int kMaxPageColumns = 4;
constexpr int kPageMargin = 6;
constexpr int kPageSpacing = 8;
constexpr int kTitleMargin = 24;
constexpr int kRowsPerColumn = 16;  // a frame with more fields than this gets more columns
constexpr const char* kControlProperty = "settingControl";
constexpr int kTextBlockLabelA = 100;
constexpr int kTextBlockLabelB = 101;
constexpr int kLabelLineChars = 40;
constexpr int kShortLabelChars = 16;  // names and versions; longer texts are mostly lower case

const SettingControl* controlOf(const QObject* o) {
    return static_cast<const SettingControl*>(o->property(kControlProperty).value<void*>());
}

// Keeps a widget tied to its row of the settings table; the row's Tag is read at every use, so
// a layout that rewrites Tags re-points the widget without rebuilding it.
void tie(QWidget* w, const SettingControl& c) {
    w->setProperty(kControlProperty,
                   QVariant::fromValue(static_cast<void*>(const_cast<SettingControl*>(&c))));
}

bool spansWholeCell(ControlKind k) {
    return k == ControlKind::Check || k == ControlKind::CheckBit || k == ControlKind::Option ||
           k == ControlKind::CurveButton || k == ControlKind::Notes || k == ControlKind::Caption ||
           k == ControlKind::AirFlowGrid;
}

}  // namespace

SettingsPageWidget::SettingsPageWidget(Session& session, int page, QWidget* parent)
    : QScrollArea(parent), m_session(session), m_page(page) {
    setObjectName(QStringLiteral("Settings%1").arg(page));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    auto* outer = new QVBoxLayout(content);
    outer->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    m_noFrames = new QLabel(tr("This Power-FC version has no settings on this page."), content);
    m_noFrames->setObjectName(QStringLiteral("NoSettings%1").arg(page));
    m_noFrames->setAlignment(Qt::AlignCenter);
    outer->addWidget(m_noFrames);
    m_columns = new QHBoxLayout;
    m_columns->setSpacing(kPageSpacing);
    outer->addLayout(m_columns, 1);
    for (const SettingControl* frame : m_session.settings.pageFrames(page)) {
        QGroupBox* box = buildFrame(*frame);
        box->setParent(content);
        m_frameOrder.push_back(box);
    }
    setWidget(content);
    content->installEventFilter(this);
    refreshFrameVisibility();
}

void SettingsPageWidget::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    arrangeFrames();
}

namespace {
// Frames in table order, each to the column with the least in it: the page then reads left to
// right and top to bottom. Returns the column of every frame.
std::vector<int> distribute(const std::vector<QSize>& sizes, int columns) {
    std::vector<int> height(static_cast<std::size_t>(columns), 0), placement;
    for (const QSize& s : sizes) {
        const auto shortest = std::min_element(height.begin(), height.end()) - height.begin();
        placement.push_back(static_cast<int>(shortest));
        height[static_cast<std::size_t>(shortest)] += s.height();
    }
    return placement;
}
}  // namespace

void SettingsPageWidget::arrangeFrames() {
    // The most columns whose frames still fit the width side by side, so the page scrolls only
    // downwards when it can.
    std::vector<QSize> sizes;
    for (QGroupBox* box : m_frameOrder)
        sizes.push_back(box->isHidden() ? QSize(0, 0)
                                        : box->sizeHint().expandedTo(box->minimumSize()));
    const int available = viewport()->width() - 2 * kPageMargin;
    int count = kMaxPageColumns;
    std::vector<int> placement;
    for (; count >= 1; --count) {
        placement = distribute(sizes, count);
        std::vector<int> width(static_cast<std::size_t>(count), 0);
        for (std::size_t i = 0; i < sizes.size(); ++i)
            width[static_cast<std::size_t>(placement[i])] =
                std::max(width[static_cast<std::size_t>(placement[i])], sizes[i].width());
        int total = (count - 1) * kPageSpacing;
        for (int w : width)
            total += w;
        if (total <= available || count == 1) break;
    }
    if (count == m_columnCount && placement == m_placement) return;
    m_columnCount = count;
    m_placement = placement;
    while (QLayoutItem* item = m_columns->takeAt(0)) {
        if (QLayout* column = item->layout()) {
            while (QLayoutItem* inner = column->takeAt(0))
                delete inner;
        }
        delete item;
    }
    // A column with a frame that can use more width takes the spare width of the page.
    std::vector<int> stretch(static_cast<std::size_t>(count), 0);
    for (std::size_t i = 0; i < m_frameOrder.size(); ++i)
        if (!m_frameOrder[i]->isHidden() &&
            m_wideFrames.contains(controlOf(m_frameOrder[i])->index))
            stretch[static_cast<std::size_t>(placement[i])] = 1;
    std::vector<QVBoxLayout*> column(static_cast<std::size_t>(count));
    for (std::size_t c = 0; c < column.size(); ++c) {
        column[c] = new QVBoxLayout;
        column[c]->setSpacing(kPageSpacing);
        m_columns->addLayout(column[c], stretch[c]);
    }
    for (std::size_t i = 0; i < m_frameOrder.size(); ++i)
        column[static_cast<std::size_t>(placement[i])]->addWidget(m_frameOrder[i]);
    for (auto* c : column)
        c->addStretch(1);
    if (std::ranges::count(stretch, 1) == 0) m_columns->addStretch(1);
}

QGroupBox* SettingsPageWidget::buildFrame(const SettingControl& frame) {
    auto* box = new QGroupBox(latin1UpToNul(frame.caption));
    // Some styles leave the caption out of the frame's size; it must never be cut.
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(box->title()) + kTitleMargin);
    box->setObjectName(QStringLiteral("FraSettings%1").arg(frame.index));
    tie(box, frame);
    box->installEventFilter(this);
    m_frames.insert(frame.index, box);

    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    QButtonGroup* options = nullptr;
    for (const SettingControl* c : m_session.settings.frameControls(frame.index)) {
        QWidget* w = buildControl(*c, box, options);
        QLabel* label = nullptr;
        if (!spansWholeCell(c->kind) && !(c->kind == ControlKind::Label && c->caption.empty())) {
            label = new QLabel(latin1UpToNul(c->caption), box);
            label->setBuddy(w);
        }
        if (c->kind == ControlKind::Notes) m_notesFrame = box;
        if (c->kind == ControlKind::AirFlowGrid) m_wideFrames.insert(frame.index);
        m_bound.push_back({c, w, label, frame.index});
    }
    return box;
}

void SettingsPageWidget::placeControls(int frameIndex) {
    auto* grid = static_cast<QGridLayout*>(m_frames.value(frameIndex)->layout());
    while (QLayoutItem* item = grid->takeAt(0))
        delete item;
    std::vector<const Bound*> shown;
    for (const Bound& b : m_bound) {
        if (b.frame != frameIndex) continue;
        const bool visible = m_session.settings.controlShown(*b.control);
        b.widget->setVisible(visible);
        if (b.caption) b.caption->setVisible(visible);
        if (visible) shown.push_back(&b);
    }
    // A long frame is split into columns of fields; a caption row starts a column of its own.
    const int n = static_cast<int>(shown.size());
    const int rows = n > kRowsPerColumn ? (n + 1) / 2 : std::max(n, 1);
    const bool breakAtCaptions =
        n > kRowsPerColumn && std::count_if(shown.begin(), shown.end(), [](const Bound* b) {
                                  return b->control->kind == ControlKind::Caption;
                              }) > 1;
    int row = 0, col = 0;
    for (const Bound* b : shown) {
        const bool newColumn =
            row > 0 && (breakAtCaptions ? b->control->kind == ControlKind::Caption : row >= rows);
        if (newColumn) {
            row = 0;
            col += 2;
        }
        if (b->caption) {
            grid->addWidget(b->caption, row, col);
            grid->addWidget(b->widget, row, col + 1);
        } else {
            grid->addWidget(b->widget, row, col, 1, 2);
        }
        ++row;
    }
    // Fields keep their size; spare width goes to the right of the last column, or to the air
    // flow grid, which then shows more of its points.
    for (int c = 0; c < grid->columnCount(); ++c)
        grid->setColumnStretch(c, 0);
    grid->setColumnStretch(m_wideFrames.contains(frameIndex) ? col + 1 : col + 2, 1);
}

QWidget* SettingsPageWidget::buildControl(const SettingControl& c, QWidget* parent,
                                          QButtonGroup*& options) {
    QWidget* w = nullptr;
    switch (c.kind) {
        case ControlKind::Text: {
            auto* edit = new QLineEdit(parent);
            edit->setObjectName(QStringLiteral("txtSetting%1").arg(c.index));
            edit->setAlignment(Qt::AlignRight);
            edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-0000.000")) +
                                12);
            w = edit;
            break;
        }
        case ControlKind::TunerString: {
            auto* edit = new QLineEdit(parent);
            edit->setObjectName(QStringLiteral("Text1"));
            edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("WWWWWWWW")) +
                                12);
            w = edit;
            break;
        }
        case ControlKind::Check:
        case ControlKind::CheckBit: {
            auto* box = new QCheckBox(latin1UpToNul(c.caption), parent);
            box->setObjectName(
                QStringLiteral("%1%2")
                    .arg(c.kind == ControlKind::Check ? "chkSetting" : "chkSettingBit")
                    .arg(c.index));
            connect(box, &QCheckBox::clicked, this, [this, box](bool checked) {
                const SettingControl* ctl = controlOf(box);
                recordEdit([&] {
                    if (ctl->kind == ControlKind::Check)
                        m_session.codec.SetSettingCheck(ctl->tag, checked ? 1 : 0);
                    else
                        m_session.codec.SetSettingBit(ctl->tag, checked ? 1 : 0);
                });
            });
            w = box;
            break;
        }
        case ControlKind::Option: {
            auto* button = new QRadioButton(latin1UpToNul(c.caption), parent);
            button->setObjectName(QStringLiteral("optSetting%1").arg(c.index));
            if (!options) options = new QButtonGroup(parent);
            options->addButton(button);
            connect(button, &QRadioButton::clicked, this, [this, button] {
                if (button->isChecked())
                    recordEdit([&] { m_session.codec.SetSettingOption(controlOf(button)->tag); });
            });
            w = button;
            break;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            label->setObjectName(QStringLiteral("lblSetting%1").arg(c.index));
            label->setFrameShape(QFrame::Panel);
            label->setFrameShadow(QFrame::Sunken);
            label->setTextFormat(Qt::PlainText);
            // Wide enough for its characters at their widest, long texts folded over lines of
            // kLabelLineChars.
            const int chars = std::clamp(
                parseLabelDescriptor(c.tag).value_or(LabelDescriptor{}).length, 4, kLabelLineChars);
            const QChar widest = chars > kShortLabelChars ? QLatin1Char('N') : QLatin1Char('W');
            label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QString(chars, widest)) +
                                   8);
            if (c.index == kTextBlockLabelA || c.index == kTextBlockLabelB)
                label->setToolTip(tr("Double-click to copy"));
            w = label;
            break;
        }
        case ControlKind::CurveButton: {
            auto* button = new QPushButton(
                c.caption.empty() ? tr("Curve...") : latin1UpToNul(c.caption), parent);
            button->setObjectName(QStringLiteral("cmdEditCurve%1").arg(c.index));
            connect(button, &QPushButton::clicked, this,
                    [this, button] { emit curveEditRequested(controlOf(button)->index); });
            w = button;
            break;
        }
        case ControlKind::Notes: {
            auto* notes = new QPlainTextEdit(parent);
            notes->setObjectName(QStringLiteral("txtNotes"));
            notes->setMinimumHeight(120);
            // Double-clicks land on the viewport, which compare mode listens to.
            notes->viewport()->installEventFilter(this);
            connect(notes, &QPlainTextEdit::textChanged, this, [this, notes] {
                m_session.notes = notesFromDisplay(notes->toPlainText().toLatin1().toStdString());
            });
            m_notes = notes;
            w = notes;
            break;
        }
        case ControlKind::AirFlowGrid:
            w = new AirFlowGridWidget(m_session, parent);
            break;
        case ControlKind::Caption:
        case ControlKind::Frame: {
            auto* label = new QLabel(latin1UpToNul(c.caption), parent);
            label->setObjectName(QStringLiteral("lblGeneral%1").arg(c.index));
            w = label;
            break;
        }
    }
    tie(w, c);
    w->installEventFilter(this);
    return w;
}

template <typename Edit>
void SettingsPageWidget::recordEdit(Edit&& edit) {
    m_session.history.begin();
    edit();
    m_session.history.commit("Edit Settings " + std::to_string(m_page));
}

void SettingsPageWidget::commitText(const SettingControl& c, QWidget* widget) {
    auto* edit = static_cast<QLineEdit*>(widget);
    if (c.kind == ControlKind::TunerString) {
        recordEdit([&] { m_session.codec.setTunerString(edit->text().toLatin1().toStdString()); });
        emit tunerStringCommitted();
        return;
    }
    if (edit->isReadOnly()) return;
    recordEdit([&] { m_session.codec.UpdateData(c.tag, edit->text().toStdString()); });
    // Show what was actually stored: clamped, rounded to a raw step and formatted.
    edit->setText(latin1UpToNul(m_session.codec.DisplayData(c.tag)));
    emit settingCommitted();
}

bool SettingsPageWidget::eventFilter(QObject* watched, QEvent* event) {
    if (m_notes && watched == static_cast<QPlainTextEdit*>(m_notes)->viewport()) {
        if (event->type() == QEvent::MouseButtonDblClick && m_session.compareMode) {
            emit notesDoubleClicked();
            return true;
        }
        return QScrollArea::eventFilter(watched, event);
    }
    const SettingControl* c =
        watched->property(kControlProperty).isValid() ? controlOf(watched) : nullptr;
    const bool textBox = c && (c->kind == ControlKind::Text || c->kind == ControlKind::TunerString);
    const bool button = c && (c->kind == ControlKind::Check || c->kind == ControlKind::CheckBit ||
                              c->kind == ControlKind::Option);
    // Compare mode shows another file's differences: a click must not change the window's data.
    if (button && m_session.compareMode) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
                return true;
            default:
                break;
        }
    }
    if (textBox && leaveUndoRedoToMenu(event)) return true;
    // The notes keep their own undo of typing while they have one; beyond it, the window's.
    if (c && c->kind == ControlKind::Notes && event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QTextDocument* notes = static_cast<QPlainTextEdit*>(m_notes)->document();
        if ((isUndoKey(*key) && !notes->isUndoAvailable()) ||
            (isRedoKey(*key) && !notes->isRedoAvailable()))
            return leaveUndoRedoToMenu(event);
    }
    switch (event->type()) {
        case QEvent::FocusIn:
            if (m_session.compareMode && c && c->kind != ControlKind::Frame &&
                c->kind != ControlKind::Label) {
                emit focusToTabsRequested();
                return true;
            }
            break;
        case QEvent::FocusOut:
            if (textBox) commitText(*c, static_cast<QWidget*>(watched));
            break;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (textBox && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
                commitText(*c, static_cast<QWidget*>(watched));
                emit focusToTabsRequested();
                return true;
            }
            break;
        }
        case QEvent::MouseButtonPress:
            // A click on a frame or the page takes the focus, committing a pending edit first.
            if (!c || c->kind == ControlKind::Frame) emit focusToTabsRequested();
            break;
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (c && c->kind == ControlKind::Frame && mouse->button() == Qt::RightButton) {
                emit frameRightClicked(c->index, mouse->globalPosition().toPoint());
                return true;
            }
            break;
        }
        case QEvent::MouseButtonDblClick:
            if (c && c->kind == ControlKind::Label &&
                (c->index == kTextBlockLabelA || c->index == kTextBlockLabelB))
                emit labelCopied(latin1UpToNul(m_session.codec.SettingText(c->tag)));
            break;
        default:
            break;
    }
    return QScrollArea::eventFilter(watched, event);
}

void SettingsPageWidget::displayKind(ControlKind kind) {
    SettingsCodec& codec = m_session.codec;
    for (const Bound& b : m_bound) {
        const SettingControl& c = *b.control;
        if (c.kind != kind) continue;
        switch (kind) {
            case ControlKind::Text:
                static_cast<QLineEdit*>(b.widget)->setText(latin1UpToNul(codec.DisplayData(c.tag)));
                break;
            case ControlKind::TunerString:
                static_cast<QLineEdit*>(b.widget)->setText(latin1UpToNul(codec.tunerString()));
                break;
            case ControlKind::Check:
            case ControlKind::CheckBit: {
                auto* box = static_cast<QCheckBox*>(b.widget);
                box->setChecked(codec.redisplayedState(kind, c.tag, box->isChecked()));
                break;
            }
            case ControlKind::Option: {
                auto* button = static_cast<QRadioButton*>(b.widget);
                const bool on = codec.redisplayedState(kind, c.tag, button->isChecked());
                if (button->isChecked() == on) break;
                // An exclusive group would refuse to clear its selected button.
                QButtonGroup* group = button->group();
                if (group) group->setExclusive(false);
                button->setChecked(on);
                if (group) group->setExclusive(true);
                break;
            }
            case ControlKind::Label:
                static_cast<QLabel*>(b.widget)->setText(
                    latin1UpToNul(foldText(codec.SettingText(c.tag), kLabelLineChars)));
                break;
            case ControlKind::Caption:
                static_cast<QLabel*>(b.widget)->setText(latin1UpToNul(c.caption));
                break;
            case ControlKind::AirFlowGrid:
                static_cast<AirFlowGridWidget*>(b.widget)->Refresh();
                break;
            default:
                break;
        }
    }
}

namespace {
// Shown as they are, not written back: the notes stay byte for byte what the file held.
void putNotes(QWidget* box, const std::string& notes) {
    const QSignalBlocker quiet(box);
    static_cast<QPlainTextEdit*>(box)->setPlainText(latin1UpToNul(notesForDisplay(notes)));
}
}  // namespace

void SettingsPageWidget::showNotes() {
    if (!m_notes) return;
    putNotes(m_notes, m_session.notes);
    m_notesFrame->setTitle(latin1UpToNul(controlOf(m_notesFrame)->caption));
}

void SettingsPageWidget::showComparedNotes(const std::string& notes) {
    if (!m_notes) return;
    putNotes(m_notes, notes);
    m_notesFrame->setTitle(latin1UpToNul(controlOf(m_notesFrame)->caption) + tr(" (compare)"));
}

void SettingsPageWidget::markDifference(ControlKind kind, int index, const QColor& colour,
                                        const QString& toolTip) {
    QWidget* w = kind == ControlKind::Notes ? m_notes : widgetFor(kind, index);
    if (!w) return;
    m_marked.push_back({w, w->toolTip(), w->palette()});
    QPalette palette = w->palette();
    const bool editBox = kind == ControlKind::Text || kind == ControlKind::Notes;
    // Boxes one types into paint their base; check boxes, options and labels their background
    // (a button's is not the window colour).
    palette.setColor(editBox ? QPalette::Base : w->backgroundRole(), colour);
    w->setPalette(palette);
    if (!editBox) w->setAutoFillBackground(true);
    if (editBox || kind == ControlKind::Label) w->setToolTip(toolTip);
}

void SettingsPageWidget::clearDifferences() {
    for (const Marked& m : m_marked) {
        m.widget->setPalette(m.palette);
        m.widget->setAutoFillBackground(false);
        m.widget->setToolTip(m.toolTip);
    }
    m_marked.clear();
}

void SettingsPageWidget::showNotKept(const std::vector<UnkeptValue>& values) {
    for (const Marked& m : m_notKept) {
        m.widget->setPalette(m.palette);
        m.widget->setAutoFillBackground(false);
        m.widget->setToolTip(m.toolTip);
    }
    m_notKept.clear();
    for (const UnkeptValue& v : values) {
        QWidget* w = v.grid < 0 ? widgetFor(v.kind, v.index) : nullptr;
        if (!w) continue;
        m_notKept.push_back({w, w->toolTip(), w->palette()});
        QPalette palette = w->palette();
        palette.setColor(v.kind == ControlKind::Text ? QPalette::Base : w->backgroundRole(),
                         QColor(255, 160, 160));
        w->setPalette(palette);
        if (v.kind != ControlKind::Text) w->setAutoFillBackground(true);
        w->setToolTip(tr("Not kept by the unit: sent %1, read back %2")
                          .arg(latin1UpToNul(v.sent), latin1UpToNul(v.kept)));
    }
}

void SettingsPageWidget::refreshFrameVisibility() {
    const SettingsTable& table = m_session.settings;
    for (auto it = m_frames.begin(); it != m_frames.end(); ++it) {
        const SettingControl* c = controlOf(it.value());
        it.value()->setVisible(c->visible);
        it.value()->setTitle(latin1UpToNul(c->caption));
    }
    for (auto it = m_frames.begin(); it != m_frames.end(); ++it)
        placeControls(it.key());
    m_noFrames->setVisible(!table.pageHasVisibleFrame(m_page));
    showWritability();
    m_placement.clear();
    arrangeFrames();
}

void SettingsPageWidget::showWritability() {
    for (const Bound& b : m_bound) {
        const ControlKind kind = b.control->kind;
        if (kind != ControlKind::Text && kind != ControlKind::Check &&
            kind != ControlKind::CheckBit && kind != ControlKind::Option)
            continue;
        // Update would refuse an edit of a block this version is never written: such settings
        // are shown, not offered for editing.
        const auto block = unwrittenBlock(m_session.layout, b.control->tag);
        if (auto* edit = qobject_cast<QLineEdit*>(b.widget)) {
            edit->setReadOnly(block.has_value());
            // Greyed like the labels, so a box one cannot type into does not look like one.
            QPalette colours;
            if (block) colours.setColor(QPalette::Base, colours.color(QPalette::Window));
            edit->setPalette(colours);
        } else {
            b.widget->setEnabled(!block);
        }
        b.widget->setToolTip(block ? tr("Read only: block %1 is not written to this Power-FC "
                                        "version.")
                                         .arg(latin1UpToNul(hexText(*block)))
                                   : QString());
    }
}

QWidget* SettingsPageWidget::widgetFor(ControlKind kind, int index) const {
    for (const Bound& b : m_bound)
        if (b.control->kind == kind && b.control->index == index) return b.widget;
    return nullptr;
}

QGroupBox* SettingsPageWidget::frameBox(int frameIndex) const {
    return m_frames.value(frameIndex, nullptr);
}

}  // namespace tunalyx
