#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/trace_items.h"
#include "monitor/sample_source.h"

namespace tunalyx {

// A math item as the user writes it: a name and an expression over the logged items and the
// math items before it.
struct MathDefinition {
    std::string name;
    std::string expression;

    bool operator==(const MathDefinition&) const = default;
};

inline constexpr int kMaxMathItems = 20;

// The expressions: numbers, items, + - * / ^ (right to left, above unary minus), parentheses,
// min(a, b, ...), max(...), abs(x), smooth(X, 0.5s) (the mean of X over the last 0.5 s up to the
// sample), X[-n] (n samples back) and X@-0.5s (the last sample at or before 0.5 s earlier);
// before the log's start the first sample stands in. An item is named by its name, case
// ignored, or in double quotes by its label ("Advanced Boost") or a name with blanks or signs
// ("TPS V"). A name that several groups share reads the Advanced item, else the first one logged.
// Division by zero, missing items and results out of range give NaN.
class MathItems final : public DerivedItems {
public:
    // Compiles the definitions in order, or gives nothing and says which one does not parse and
    // why ("Math item \"Lag\": Unknown item \"Bost\" at 1").
    [[nodiscard]] static std::shared_ptr<const MathItems> compile(
        const std::vector<MathDefinition>& definitions, const TraceItems& items,
        std::string* error = nullptr);

    [[nodiscard]] int count() const override { return static_cast<int>(m_definitions.size()); }
    [[nodiscard]] std::string name(int k) const override;
    [[nodiscard]] double value(const SampleSource& base, int k, int s) const override;
    [[nodiscard]] bool available(const SampleSource& base, int k) const override;
    // Item k at every sample of the source at once, in time linear in the samples.
    [[nodiscard]] std::vector<double> evaluateAll(const SampleSource& base, int k) const;
    [[nodiscard]] const std::vector<MathDefinition>& definitions() const { return m_definitions; }

    struct Program;
    MathItems(std::vector<MathDefinition> definitions, std::vector<Program> programs);
    ~MathItems() override;

private:
    std::vector<MathDefinition> m_definitions;
    std::vector<Program> m_programs;
};

// Why an expression does not parse ("Missing ) at 14", positions counted from 1), given the
// names of the math items before it; empty when it does.
[[nodiscard]] std::string mathExpressionError(std::string_view expression, const TraceItems& items,
                                              const std::vector<std::string>& earlierNames);
// Why a name cannot be a math item's (empty, a quote or line break in it, an item's name, or the
// name of one before it); empty when it can.
[[nodiscard]] std::string mathNameError(std::string_view name, const TraceItems& items,
                                        const std::vector<std::string>& earlierNames);

}  // namespace tunalyx
