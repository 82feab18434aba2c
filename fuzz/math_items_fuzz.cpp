// The math item parser: each line is the expression of one math item, which may use the ones
// before it. What compiles is evaluated over a short log both ways; nothing may crash, and the
// compiler and the per-expression check must agree.
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_doubles.h"
#include "monitor/math_items.h"

using namespace tunalyx;

namespace {

// Forty samples of uneven spacing with Advanced and Aux items logged.
class ShortLog final : public SampleSource {
public:
    [[nodiscard]] int sampleCount() const override { return 40; }
    [[nodiscard]] double timeSeconds(int s) const override { return (s * 70 + (s % 3) * 20) / 1e3; }
    [[nodiscard]] double value(int item, int s) const override { return (item + 1) * (s % 7) - 3; }
    [[nodiscard]] bool hasItem(int item) const override {
        return item < 20 || (item >= 54 && item < 62);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TraceItems items;
    const std::string_view text = fuzz::textOf(data, size);
    std::vector<MathDefinition> definitions;
    std::vector<std::string> names;
    bool allParse = true;
    for (std::size_t at = 0; at <= text.size() && definitions.size() < kMaxMathItems;) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string expression(text.substr(at, end - at));
        allParse = allParse && mathExpressionError(expression, items, names).empty();
        names.push_back("M" + std::to_string(definitions.size() + 1));
        definitions.push_back({names.back(), std::move(expression)});
        at = end + 1;
    }
    std::string error;
    const auto math = MathItems::compile(definitions, items, &error);
    if (bool(math) != allParse || error.empty() == !math) std::abort();
    if (!math) return 0;
    const ShortLog log;
    for (int k = 0; k < math->count(); ++k) {
        if (math->evaluateAll(log, k).size() != 40u) std::abort();
        (void)math->available(log, k);
        for (int s = 0; s < 40; s += 13)
            (void)math->value(log, k, s);
    }
    return 0;
}
