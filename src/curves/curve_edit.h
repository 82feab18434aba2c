#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "curves/curve_descriptor.h"
#include "model/settings_codec.h"

namespace tunalyx {

// The range one axis is drawn in.
struct AxisRange {
    double min = 0;
    double max = 1;
};

// The curve editor without its widgets: the points of one curve, the locks, the ranges the plot
// shows, the conversions between values and the plot, the snap, and the write-back on OK.
class CurveEdit {
public:
    // DisplayCurve: parses the Tag and reads every point from the image. The flags LockX and
    // LockY, a constant X axis and compare mode lock their axes for good. False for a Tag that is
    // not a curve.
    bool DisplayCurve(std::string_view tag, const PacketImage& image, bool compareMode);

    [[nodiscard]] int count() const { return m_d.count; }
    [[nodiscard]] const CurveDescriptor& descriptor() const { return m_d; }
    [[nodiscard]] const std::vector<double>& XVal() const { return m_x; }
    [[nodiscard]] const std::vector<double>& YVal() const { return m_y; }

    // The lock boxes: checked, and whether the user may change them.
    [[nodiscard]] bool lockX() const { return m_lockX; }
    [[nodiscard]] bool lockY() const { return m_lockY; }
    [[nodiscard]] bool lockXFixed() const { return m_lockXFixed; }
    [[nodiscard]] bool lockYFixed() const { return m_lockYFixed; }
    void setLockX(bool on);
    void setLockY(bool on);
    // In compare mode the curve is only shown.
    [[nodiscard]] bool viewOnly() const { return m_viewOnly; }

    // The ranges from the points: equal values get 0.9x..1.1x, all zero -1..1.
    void ReScaleScreen();
    [[nodiscard]] const AxisRange& xRange() const { return m_xRange; }
    [[nodiscard]] const AxisRange& yRange() const { return m_yRange; }

    // Plot positions in a plot of width w and height h: the range fills 90 % of each dimension
    // with a 4.5 % margin left and top; Y grows upwards.
    [[nodiscard]] double screenX(double x, double w) const;
    [[nodiscard]] double screenY(double y, double h) const;
    [[nodiscard]] double valueX(double sx, double w) const;
    [[nodiscard]] double valueY(double sy, double h) const;

    // The nearest value the axis can store: a whole raw step, inside the type's raw range.
    // Constant X values are not snapped.
    [[nodiscard]] double snapX(double v) const;
    [[nodiscard]] double snapY(double v) const;
    // The value tip: "X, Y", each snapped and in its axis's format.
    [[nodiscard]] std::string pointText(double x, double y, const NumberLocale& locale) const;

    // A dragged point dropped at (x, y): each axis that is not locked takes its snapped value.
    void dropPoint(int i, double x, double y);

    // OK: every point that differs from what was read goes back through UpdateData; the others
    // are not rewritten, so a curve looked at and confirmed leaves its blocks clean.
    void writeBack(SettingsCodec& codec) const;

private:
    [[nodiscard]] std::string pointDescriptor(const std::vector<std::string>& fields,
                                              const CurveElement& e, int i) const;

    CurveDescriptor m_d;
    std::vector<std::string> m_xFields, m_yFields;
    std::vector<double> m_x, m_y;
    std::vector<double> m_readX, m_readY;
    bool m_lockX = false, m_lockY = false;
    bool m_lockXFixed = false, m_lockYFixed = false;
    bool m_viewOnly = false;
    AxisRange m_xRange, m_yRange;
};

// Where a dragged marker may go: with `oneAxis` (Shift, Ctrl or Alt held) only along the axis
// the mouse moved further on; a locked axis does not move.
struct DragOffset {
    double dx;
    double dy;
};
[[nodiscard]] DragOffset constrainDrag(double dx, double dy, bool oneAxis, bool lockX, bool lockY);

}  // namespace tunalyx
