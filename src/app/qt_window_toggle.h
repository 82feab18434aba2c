#pragma once

#include <QAction>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace tunalyx {

// The Window menu's show/hide items: a checked item hides its window and unchecks itself;
// otherwise the window is shown (created on first use) and the item checked.
class WindowToggle final : public QObject {
public:
    WindowToggle(QAction* item, std::function<QWidget*()> create, QObject* parent = nullptr)
        : QObject(parent), m_item(item), m_create(std::move(create)) {
        m_item->setCheckable(true);
        m_item->setEnabled(true);
        // The handler decides the check itself, so the automatic toggle must not run first.
        connect(m_item, &QAction::triggered, this, [this] {
            m_item->setChecked(!m_item->isChecked());
            toggle();
        });
    }

    void toggle() {
        if (m_item->isChecked()) {
            if (m_window) m_window->hide();
            m_item->setChecked(false);
            return;
        }
        if (!m_window) m_window = m_create();
        m_window->show();
        m_window->raise();
        m_item->setChecked(true);
    }

    [[nodiscard]] QWidget* window() const { return m_window; }

private:
    QAction* m_item;
    std::function<QWidget*()> m_create;
    QPointer<QWidget> m_window;
};

}  // namespace tunalyx
