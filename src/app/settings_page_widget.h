#pragma once

#include <QHash>
#include <QPalette>
#include <QScrollArea>
#include <QSet>
#include <vector>

#include "session/session.h"
#include "transfer/block_names.h"

class QButtonGroup;
class QColor;
class QGroupBox;
class QHBoxLayout;
class QLabel;

namespace tunalyx {

// One "Settings n" page: the frames and controls of the settings table for that page, bound to
// the packet image through the session's codec. The widgets hold no values of their own.
class SettingsPageWidget final : public QScrollArea {
    Q_OBJECT
public:
    SettingsPageWidget(Session& session, int page, QWidget* parent = nullptr);

    // One pass of the full redisplay: the controls of one kind on this page.
    void displayKind(ControlKind kind);
    // Frames hidden or shown by the layout in force.
    void refreshFrameVisibility();

    [[nodiscard]] QWidget* widgetFor(ControlKind kind, int index) const;
    [[nodiscard]] QGroupBox* frameBox(int frameIndex) const;
    [[nodiscard]] QWidget* notesEdit() const { return m_notes; }
    // Puts the session's notes into the notes box (after a file was opened) under the frame's
    // own caption.
    void showNotes();
    // Compare mode: the compared file's notes in the box, " (compare)" after the frame caption;
    // the session's notes stay as they are.
    void showComparedNotes(const std::string& notes);
    // Compare mode: a control whose value differs, in `colour`, with a tool tip (text boxes,
    // labels and the notes box only).
    void markDifference(ControlKind kind, int index, const QColor& colour, const QString& toolTip);
    // Every mark of compare mode gone: the page's own colours and tool tips again.
    void clearDifferences();
    // The settings of this page the unit did not keep as written, coloured with a tool tip saying
    // what was sent and what came back; replaces the last.
    void showNotKept(const std::vector<UnkeptValue>& values);

signals:
    // A text box took its value over (map axis labels may follow the map reference).
    void settingCommitted();
    // The tuner string was stored; everything is to be shown again.
    void tunerStringCommitted();
    // Enter in a box, a click on a frame, or compare mode refusing the focus.
    void focusToTabsRequested();
    void frameRightClicked(int frameIndex, const QPoint& globalPos);
    // A label whose text belongs on the clipboard was double-clicked.
    void labelCopied(const QString& text);
    // The notes box was double-clicked in compare mode.
    void notesDoubleClicked();
    // A curve button was clicked (cmdEditCurve_Click).
    void curveEditRequested(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // An edit of a setting as one step of the edit history.
    template <typename Edit>
    void recordEdit(Edit&& edit);
    struct Bound {
        const SettingControl* control;
        QWidget* widget;
        QLabel* caption;  // the label in front of it, if any
        int frame;
    };
    QGroupBox* buildFrame(const SettingControl& frame);
    QWidget* buildControl(const SettingControl& control, QWidget* parent, QButtonGroup*& options);
    // Lays out the frame's controls that the layout in force shows, in columns.
    void placeControls(int frameIndex);
    void commitText(const SettingControl& control, QWidget* edit);
    void arrangeFrames();
    // Settings of blocks the layout never writes are read only, with a tool tip saying so.
    void showWritability();

    Session& m_session;
    int m_page;
    std::vector<Bound> m_bound;
    QHash<int, QGroupBox*> m_frames;
    QSet<int> m_wideFrames;  // frames that use any width they get (the air flow grid's)
    QWidget* m_notes = nullptr;
    QGroupBox* m_notesFrame = nullptr;
    struct Marked {
        QWidget* widget;
        QString toolTip;  // the one it had before
        QPalette palette;
    };
    std::vector<Marked> m_marked;
    std::vector<Marked> m_notKept;
    QLabel* m_noFrames = nullptr;  // says so when the layout leaves the page without a frame
    std::vector<QGroupBox*> m_frameOrder;
    QHBoxLayout* m_columns = nullptr;
    int m_columnCount = 0;
    std::vector<int> m_placement;
};

}  // namespace tunalyx
