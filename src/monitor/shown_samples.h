#pragma once

#include <memory>

#include "monitor/sample_source.h"

namespace tunalyx {

// The samples a window shows, one object that stays put while what it shows changes: a base
// that may be swapped (the log in memory, a session's timeline) and the user's math items on
// top as they are at each read, so that whoever holds it never holds a stale source.
class ShownSamples final : public SampleSource {
public:
    ShownSamples(const SampleSource& base, const std::shared_ptr<const DerivedItems>& math)
        : m_base(&base), m_math(math) {}

    void setBase(const SampleSource& base) { m_base = &base; }
    [[nodiscard]] const SampleSource& base() const { return *m_base; }

    [[nodiscard]] int sampleCount() const override { return m_base->sampleCount(); }
    [[nodiscard]] double timeSeconds(int s) const override { return m_base->timeSeconds(s); }
    [[nodiscard]] double value(int item, int s) const override {
        if (item < kFirstMathItem) return m_base->value(item, s);
        return WithDerivedItems(*m_base, m_math).value(item, s);
    }
    [[nodiscard]] bool hasItem(int item) const override {
        if (item < kFirstMathItem) return m_base->hasItem(item);
        return WithDerivedItems(*m_base, m_math).hasItem(item);
    }

private:
    const SampleSource* m_base;
    const std::shared_ptr<const DerivedItems>& m_math;  // the workspace's, replaced whole
};

}  // namespace tunalyx
