#include "curves/curve_edit.h"

#include <algorithm>
#include <cmath>

#include "model/descriptors.h"
#include "model/number_format.h"

namespace tunalyx {

namespace {

std::vector<std::string> fieldsOf(std::string_view element) {
    std::vector<std::string> out;
    for (std::string_view f : splitFields(element))
        out.emplace_back(f);
    return out;
}

// The range of the values; the comparisons are made in single precision, as the values are
// only drawn.
AxisRange rangeOf(const std::vector<double>& values) {
    AxisRange r{values.front(), values.front()};
    for (double v : values) {
        if (static_cast<float>(v) < static_cast<float>(r.min)) r.min = v;
        if (static_cast<float>(v) > static_cast<float>(r.max)) r.max = v;
    }
    if (static_cast<float>(r.min) == static_cast<float>(r.max)) {
        r.min *= 0.9;
        r.max *= 1.1;
        if (r.min == 0 && r.max == 0) r = {-1, 1};
    }
    return r;
}

double snapped(const CurveElement& e, double v) {
    if (e.constant) return v;
    const double top = e.type == kTypeUnsigned16 ? 65535 : 255;
    const double raw = std::clamp(std::floor((v - e.offset) / e.scale + 0.5), 0.0, top);
    return raw * e.scale + e.offset;
}

}  // namespace

bool CurveEdit::DisplayCurve(std::string_view tag, const PacketImage& image, bool compareMode) {
    const auto d = parseCurveDescriptor(tag);
    if (!d) return false;
    m_d = *d;
    const auto parts = splitFields(tag, ';');
    m_xFields = fieldsOf(parts[1]);
    m_yFields = fieldsOf(parts[2]);

    m_viewOnly = compareMode;
    m_lockXFixed = m_d.xLocked() || compareMode;
    m_lockYFixed = m_d.lockY || compareMode;
    if (m_lockXFixed) m_lockX = true;
    if (m_lockYFixed) m_lockY = true;

    m_x.clear();
    m_y.clear();
    for (int i = 0; i < m_d.count; ++i) {
        m_x.push_back(m_d.x.value(image, i));
        m_y.push_back(m_d.y.value(image, i));
    }
    m_readX = m_x;
    m_readY = m_y;
    ReScaleScreen();
    return true;
}

void CurveEdit::setLockX(bool on) {
    if (!m_lockXFixed) m_lockX = on;
}

void CurveEdit::setLockY(bool on) {
    if (!m_lockYFixed) m_lockY = on;
}

void CurveEdit::ReScaleScreen() {
    if (m_x.empty()) return;
    m_xRange = rangeOf(m_x);
    m_yRange = rangeOf(m_y);
}

double CurveEdit::screenX(double x, double w) const {
    return ((x - m_xRange.min) / (m_xRange.max - m_xRange.min) + 0.05) * w * 0.9;
}

double CurveEdit::screenY(double y, double h) const {
    return (1.05 - (y - m_yRange.min) / (m_yRange.max - m_yRange.min)) * h * 0.9;
}

double CurveEdit::valueX(double sx, double w) const {
    return (sx / w / 0.9 - 0.05) * (m_xRange.max - m_xRange.min) + m_xRange.min;
}

double CurveEdit::valueY(double sy, double h) const {
    return (1.05 - sy / h / 0.9) * (m_yRange.max - m_yRange.min) + m_yRange.min;
}

double CurveEdit::snapX(double v) const {
    return snapped(m_d.x, v);
}

double CurveEdit::snapY(double v) const {
    return snapped(m_d.y, v);
}

std::string CurveEdit::pointText(double x, double y, const NumberLocale& locale) const {
    return formatValue(snapX(x), m_d.x.format, locale) + ", " +
           formatValue(snapY(y), m_d.y.format, locale);
}

void CurveEdit::dropPoint(int i, double x, double y) {
    if (i < 0 || i >= count()) return;
    const auto at = static_cast<std::size_t>(i);
    if (!m_lockX) m_x[at] = snapX(x);
    if (!m_lockY) m_y[at] = snapY(y);
}

std::string CurveEdit::pointDescriptor(const std::vector<std::string>& f, const CurveElement& e,
                                       int i) const {
    // block, position (with the leading blank the parser ignores), type, scale, offset, format
    return f[0] + ", " + std::to_string(e.position(i)) + "," + f[3] + "," + f[4] + "," + f[5] +
           "," + f[6];
}

void CurveEdit::writeBack(SettingsCodec& codec) const {
    const NumberLocale& locale = codec.locale();
    for (int i = 0; i < count(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (!m_d.x.constant && m_x[at] != m_readX[at])
            codec.UpdateData(pointDescriptor(m_xFields, m_d.x, i),
                             formatValue(m_x[at], m_d.x.format, locale));
        if (m_y[at] != m_readY[at])
            codec.UpdateData(pointDescriptor(m_yFields, m_d.y, i),
                             formatValue(m_y[at], m_d.y.format, locale));
    }
}

DragOffset constrainDrag(double dx, double dy, bool oneAxis, bool lockX, bool lockY) {
    if (oneAxis) {
        if (std::abs(dy) >= std::abs(dx))
            dx = 0;
        else
            dy = 0;
    }
    return {lockX ? 0 : dx, lockY ? 0 : dy};
}

}  // namespace tunalyx
