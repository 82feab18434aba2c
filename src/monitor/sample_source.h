#pragma once

#include <memory>
#include <string>

#include "model/trace_items.h"
#include "monitor/log_store.h"

namespace tunalyx {

// Samples as every reader of logged data takes them, whatever holds them: the log in memory, a
// whole session of logs opened as one timeline, either with the user's math items on top.
// Items 0..63 are the live items; math items follow from kFirstMathItem.
inline constexpr int kFirstMathItem = kTraceItemCount;

class SampleSource {
public:
    virtual ~SampleSource() = default;
    [[nodiscard]] virtual int sampleCount() const = 0;
    // Seconds on the source's own time axis; never decreasing from one sample to the next.
    [[nodiscard]] virtual double timeSeconds(int s) const = 0;
    [[nodiscard]] virtual double value(int item, int s) const = 0;
    // The item has values here: its group was logged (a math item: its inputs were).
    [[nodiscard]] virtual bool hasItem(int item) const = 0;
};

// The log in memory, samples 0..LogLast (one sample for an empty log, as everywhere else).
class LogStoreSource final : public SampleSource {
public:
    explicit LogStoreSource(const LogStore& log) : m_log(log) {}
    [[nodiscard]] int sampleCount() const override { return m_log.sampleCount(); }
    [[nodiscard]] double timeSeconds(int s) const override {
        return static_cast<double>(m_log.LogTime(s)) / 1000.0;
    }
    [[nodiscard]] double value(int item, int s) const override {
        return item >= 0 && item < kTraceItemCount ? m_log.LogData(item, s) : 0.0;
    }
    [[nodiscard]] bool hasItem(int item) const override {
        if (item < 0 || item >= kTraceItemCount) return false;
        static const TraceItems kItems;
        return m_log.IncludeGroup[static_cast<std::size_t>(
            kItems.TraceGroup[static_cast<std::size_t>(item)])];
    }

private:
    const LogStore& m_log;
};

// Items computed from the items of a source (the user's math items): item kFirstMathItem + k.
class DerivedItems {
public:
    virtual ~DerivedItems() = default;
    [[nodiscard]] virtual int count() const = 0;
    // The name the user gave item k, as lists and captions show it.
    [[nodiscard]] virtual std::string name(int k) const = 0;
    [[nodiscard]] virtual double value(const SampleSource& base, int k, int s) const = 0;
    [[nodiscard]] virtual bool available(const SampleSource& base, int k) const = 0;
};

// A source with derived items on top of it: items below kFirstMathItem come from `base`.
class WithDerivedItems final : public SampleSource {
public:
    WithDerivedItems(const SampleSource& base, std::shared_ptr<const DerivedItems> derived)
        : m_base(base), m_derived(std::move(derived)) {}
    [[nodiscard]] int sampleCount() const override { return m_base.sampleCount(); }
    [[nodiscard]] double timeSeconds(int s) const override { return m_base.timeSeconds(s); }
    [[nodiscard]] double value(int item, int s) const override {
        if (item < kFirstMathItem) return m_base.value(item, s);
        const int k = item - kFirstMathItem;
        return m_derived && k < m_derived->count() ? m_derived->value(m_base, k, s) : 0.0;
    }
    [[nodiscard]] bool hasItem(int item) const override {
        if (item < kFirstMathItem) return m_base.hasItem(item);
        const int k = item - kFirstMathItem;
        return m_derived && k < m_derived->count() && m_derived->available(m_base, k);
    }
    [[nodiscard]] const SampleSource& base() const { return m_base; }

private:
    const SampleSource& m_base;
    std::shared_ptr<const DerivedItems> m_derived;
};

}  // namespace tunalyx
