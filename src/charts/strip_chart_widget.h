#pragma once

#include <QImage>
#include <QWidget>
#include <vector>

#include "charts/strip_chart.h"

namespace tunalyx {

// `Strip1`: the strip chart drawn as its panes stacked top to bottom over a time axis in
// seconds, with a cursor line the mouse drags. Plotting goes to chart() and is shown on the next
// paint after redraw(), so a fast feed costs one paint a frame however many points arrive. The
// time trace is never drawn.
class StripChartWidget final : public QWidget {
    Q_OBJECT
public:
    explicit StripChartWidget(QWidget* parent = nullptr);

    // Panes, traces, captions and points; changes show after redraw().
    [[nodiscard]] StripChart& chart() noexcept { return m_chart; }
    [[nodiscard]] const StripChart& chart() const noexcept { return m_chart; }
    // A second chart painted under this one's traces, on this one's panes and window (its own
    // window is set to match at each paint); null for none. The caller owns it.
    void setOverlay(StripChart* overlay) {
        m_overlay = overlay;
        update();
    }
    // Asks for a repaint; Qt folds any number of these into one.
    void redraw() { update(); }

    // Setting the cursor from code emits nothing: cursorMoved reports the user's moves only.
    [[nodiscard]] double cursorPosition() const noexcept { return m_chart.cursor(); }
    void setCursorPosition(double seconds);
    [[nodiscard]] double windowLower() const noexcept { return m_chart.windowLower(); }
    [[nodiscard]] double windowUpper() const noexcept { return m_chart.windowUpper(); }
    void setWindow(double lower, double upper);
    void fitAll();

    // Where the traces are drawn, and the time at a pixel column of it and back.
    [[nodiscard]] QRect plotRect() const;
    [[nodiscard]] double timeAt(double px) const;
    [[nodiscard]] double pixelAt(double seconds) const;

    QSize sizeHint() const override { return {600, 300}; }

    // A line across the middle of the plot, for a chart that has nothing to draw; empty for none.
    void setHint(const QString& hint);
    [[nodiscard]] const QString& hint() const noexcept { return m_hint; }

signals:
    // The user put the cursor at `seconds` (pressed or dragged with the left button).
    void cursorMoved(double seconds);
    // Every key pressed on the chart; the window decides what the arrows step through.
    void keyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    [[nodiscard]] QRect paneRect(int p) const;
    [[nodiscard]] int axisHeight() const;
    void moveCursorTo(double px);
    void paintPlot(double tickStep);
    void paintTrace(const StripChart& chart, int t, const QRect& area);
    void paintCaptions(QPainter& p, int pane);
    void paintAxis(QPainter& p, double tickStep);

    StripChart m_chart;
    StripChart* m_overlay = nullptr;
    // Reused by every paint, so a redraw allocates nothing once they have grown. The panes and
    // traces are drawn into m_plot pixel by pixel, then shown in one copy.
    std::vector<StripColumn> m_columns;
    QImage m_plot;
    QString m_hint;
};

}  // namespace tunalyx
