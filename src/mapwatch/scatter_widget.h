#pragma once

#include <QImage>
#include <QStringList>
#include <QWidget>
#include <array>

#include "mapwatch/map_scatter.h"

namespace tunalyx {

// Every sample as a point on the 20 x 20 map grid, coloured by an item from blue (its least) to
// red (its greatest), with the breakpoints as headings and the scale as a legend under it. The
// points are written into an image pixel by pixel: half a million redraw in a few milliseconds.
// Rows run down from the first, as the map grids show them.
class ScatterWidget final : public QWidget {
    Q_OBJECT
public:
    explicit ScatterWidget(QWidget* parent = nullptr);

    // The points are the caller's and must outlive their showing; call `pointsChanged` after
    // changing them.
    void setPoints(const ScatterPoints* points);
    void pointsChanged();
    void setLabels(const QStringList& columns, const QStringList& rows);
    void setColourCaption(const QString& caption);
    void selectCell(int row, int col);
    [[nodiscard]] int selectedRow() const { return m_row; }
    [[nodiscard]] int selectedCol() const { return m_col; }
    // Where a cell is drawn, in widget coordinates.
    [[nodiscard]] QRect cellRect(int row, int col) const;

    [[nodiscard]] QSize sizeHint() const override { return {520, 520}; }

signals:
    void cellClicked(int row, int col);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    [[nodiscard]] QRect plotRect() const;
    void renderPoints();

    const ScatterPoints* m_points = nullptr;
    QStringList m_columns;
    QStringList m_rows;
    QString m_caption;
    std::array<QRgb, 256> m_scale{};
    QImage m_background;  // the empty grid, made again only on resizing
    QImage m_image;       // the grid with its points
    bool m_stale = true;
    int m_row = -1;
    int m_col = -1;
};

// A cell's values of an item as bars: each bin's count over it, the bin edges under it.
class HistogramWidget final : public QWidget {
    Q_OBJECT
public:
    explicit HistogramWidget(QWidget* parent = nullptr);
    void setHistogram(Histogram histogram, const QString& caption);
    [[nodiscard]] const Histogram& histogram() const { return m_histogram; }
    [[nodiscard]] QSize sizeHint() const override { return {520, 170}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Histogram m_histogram;
    QString m_caption;
};

}  // namespace tunalyx
