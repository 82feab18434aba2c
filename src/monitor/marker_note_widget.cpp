#include "monitor/marker_note_widget.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

namespace tunalyx {

namespace {

// A field nobody types into is in the way: it goes after a while, the marker kept.
constexpr int kIdleMs = 15'000;
constexpr int kMargin = 8;

}  // namespace

MarkerNoteWidget::MarkerNoteWidget(LiveRun& live, UserPrompts& prompts, QWidget& window)
    : QFrame(&window),
      m_live(live),
      m_prompts(prompts),
      m_message(new QLabel(this)),
      m_note(new QLineEdit(this)) {
    setObjectName(QStringLiteral("fraMarkerNote"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_note->setObjectName(QStringLiteral("txtMarkerNote"));
    m_note->setPlaceholderText(tr("Note (Enter keeps it)"));
    m_note->setMinimumWidth(m_note->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 30);
    m_note->installEventFilter(this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->addWidget(m_message);
    row->addWidget(m_note);
    m_idle.setSingleShot(true);
    m_idle.setInterval(kIdleMs);
    connect(&m_idle, &QTimer::timeout, this, &QWidget::hide);
    connect(m_note, &QLineEdit::textEdited, this, [this] { m_idle.start(); });
    connect(m_note, &QLineEdit::returnPressed, this, &MarkerNoteWidget::keep);
    hide();
}

QString MarkerNoteWidget::message() const {
    return m_message->text();
}

void MarkerNoteWidget::showFor(const LogMarker& marker) {
    m_number = marker.number;
    m_message->setText(tr("Marker %1 set at %2 s")
                           .arg(marker.number)
                           .arg(QString::number(marker.seconds, 'f', 1)));
    m_note->clear();
    adjustSize();
    const QWidget& window = *parentWidget();
    move(kMargin, std::max(0, window.height() - height() - kMargin * 4));
    raise();
    show();
    m_note->setFocus(Qt::ShortcutFocusReason);
    m_idle.start();
}

void MarkerNoteWidget::keep() {
    const std::string text = m_note->text().toStdString();
    hide();
    if (text.empty()) return;
    if (const std::string error = m_live.setMarkerNote(m_number, text); !error.empty())
        m_prompts.tell(error, MessageIcon::Critical);
}

bool MarkerNoteWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_note) {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            hide();
            return true;
        }
        // Clicking or switching elsewhere is going on without a note.
        if (event->type() == QEvent::FocusOut && isVisible()) hide();
    }
    return QFrame::eventFilter(watched, event);
}

MarkerKey::MarkerKey(LiveRun& live, UserPrompts& prompts, QWidget& window, QMenu* menu)
    : QObject(&window),
      m_live(live),
      m_action(new QAction(tr("Set &Marker"), this)),
      m_field(new MarkerNoteWidget(live, prompts, window)) {
    m_action->setObjectName(QStringLiteral("mnuLogMarker"));
    m_action->setShortcut(QKeySequence(Qt::Key_F8));
    m_action->setShortcutContext(Qt::WindowShortcut);
    m_action->setEnabled(live.running());
    if (menu)
        menu->addAction(m_action);
    else
        window.addAction(m_action);
    connect(m_action, &QAction::triggered, this, &MarkerKey::setMarker);
    m_live.addConsumer(this);
}

MarkerKey::~MarkerKey() {
    m_live.removeConsumer(this);
}

void MarkerKey::setMarker() {
    if (const std::optional<LogMarker> marker = m_live.addMarker()) m_field->showFor(*marker);
}

void MarkerKey::samplePublished(const PublishedSample& /*sample*/) {
    // Not at runStarted: a start can still be abandoned after the consumers heard of it.
    if (!m_action->isEnabled()) m_action->setEnabled(true);
}

void MarkerKey::runEnded() {
    m_action->setEnabled(false);
}

}  // namespace tunalyx
