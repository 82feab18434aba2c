#include "monitor/math_items.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace tunalyx {
namespace {

// Samples at the given times (whole milliseconds, as logs hold them); an item is logged when it
// has values.
class FakeSource final : public SampleSource {
public:
    explicit FakeSource(std::vector<int> ms) : m_ms(std::move(ms)) {}
    void set(int item, std::vector<double> values) { m_values[item] = std::move(values); }
    [[nodiscard]] int sampleCount() const override { return static_cast<int>(m_ms.size()); }
    [[nodiscard]] double timeSeconds(int s) const override {
        return m_ms[static_cast<std::size_t>(s)] / 1000.0;
    }
    [[nodiscard]] double value(int item, int s) const override {
        const auto it = m_values.find(item);
        return it == m_values.end() ? 0.0 : it->second[static_cast<std::size_t>(s)];
    }
    [[nodiscard]] bool hasItem(int item) const override { return m_values.count(item) > 0; }

private:
    std::vector<int> m_ms;
    std::map<int, std::vector<double>> m_values;
};

constexpr int kBasicBoost = 25;
constexpr int kAdvancedBoost = 8;

// Ten samples 0.1 s apart; Rpm 0, 100, 200, ...
FakeSource tenSamples() {
    FakeSource src({0, 100, 200, 300, 400, 500, 600, 700, 800, 900});
    std::vector<double> rpm;
    for (int s = 0; s < 10; ++s)
        rpm.push_back(100.0 * s);
    src.set(kRpmItem, rpm);
    return src;
}

std::shared_ptr<const MathItems> compiled(std::vector<MathDefinition> defs) {
    std::string error;
    auto math = MathItems::compile(defs, TraceItems{}, &error);
    EXPECT_TRUE(math) << error;
    return math;
}

// Item k at sample s, checked to be the same through the whole-column path.
double at(const MathItems& math, const SampleSource& src, int k, int s) {
    const double one = math.value(src, k, s);
    const double all = math.evaluateAll(src, k)[static_cast<std::size_t>(s)];
    if (std::isnan(one)) {
        EXPECT_TRUE(std::isnan(all)) << "sample " << s;
    } else {
        EXPECT_NEAR(one, all, 1e-9) << "sample " << s;
    }
    return one;
}

double evaluate(const std::string& expression, const SampleSource& src, int s) {
    const auto math = compiled({{"X", expression}});
    return math ? at(*math, src, 0, s) : -1e300;
}

TEST(MathItems, PrecedenceAndUnaryMinus) {
    const FakeSource src = tenSamples();
    const struct {
        const char* expression;
        double expected;
    } cases[] = {
        {"1 + 2 * 3", 7},    {"(1 + 2) * 3", 9},  {"10 - 4 - 3", 3},      {"8 / 2 / 2", 2},
        {"-2^2", -4},        {"2^3^2", 512},      {"2^-1", 0.5},          {"--3", 3},
        {"-rpm + 50", -250}, {"min(3, 1, 2)", 1}, {"max(1, abs(-4))", 4}, {"Rpm[-1]^2 / 100", 400},
        {".5 * 2 - -1", 2},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(evaluate(c.expression, src, 3), c.expected) << c.expression;
}

TEST(MathItems, EarlierSamplesStopAtTheFirst) {
    const FakeSource src = tenSamples();
    EXPECT_EQ(evaluate("Rpm[-1]", src, 0), 0);
    EXPECT_EQ(evaluate("Rpm[-1]", src, 1), 0);
    EXPECT_EQ(evaluate("Rpm[-3]", src, 5), 200);
    EXPECT_EQ(evaluate("Rpm[-0]", src, 5), 500);
    // 0.5 s before 0.4 s is before the start; 0.5 s before 0.5 s is exactly the first sample.
    EXPECT_EQ(evaluate("Rpm@-0.5s", src, 4), 0);
    EXPECT_EQ(evaluate("Rpm@-0.5s", src, 5), 0);
    EXPECT_EQ(evaluate("Rpm@-0.5s", src, 6), 100);
    EXPECT_EQ(evaluate("Rpm@-0.25s", src, 9), 600);
    EXPECT_EQ(evaluate("Rpm@-0s", src, 9), 900);
    EXPECT_EQ(evaluate("(Rpm - Rpm[-1])@-0.2s", src, 9), 100);
}

TEST(MathItems, SmoothIsTheMeanOverTheWindow) {
    // Uneven times, as a slow link gives them.
    const std::vector<int> ms = {0, 40, 150, 160, 400, 410, 700, 1000, 1050, 1600, 1610, 1700};
    FakeSource src(ms);
    std::vector<double> boost;
    for (std::size_t s = 0; s < ms.size(); ++s)
        boost.push_back(std::sin(static_cast<double>(s)) * 100);
    src.set(kAdvancedBoost, boost);
    const auto math = compiled({{"S", "smooth(Boost, 0.3s)"}});
    ASSERT_TRUE(math);
    const std::vector<double> all = math->evaluateAll(src, 0);
    for (std::size_t s = 0; s < ms.size(); ++s) {
        double sum = 0;
        int n = 0;
        for (std::size_t j = 0; j <= s; ++j)
            if (ms[j] > ms[s] - 300) {
                sum += boost[j];
                ++n;
            }
        EXPECT_NEAR(all[s], sum / n, 1e-9) << s;
        EXPECT_NEAR(math->value(src, 0, static_cast<int>(s)), sum / n, 1e-9) << s;
    }
}

TEST(MathItems, NothingToComputeIsNaN) {
    FakeSource src = tenSamples();
    EXPECT_TRUE(std::isnan(evaluate("Rpm / (Rpm - 300)", src, 3)));
    EXPECT_DOUBLE_EQ(evaluate("Rpm / (Rpm - 300)", src, 4), 4);
    EXPECT_TRUE(std::isnan(evaluate("min(1, 1 / 0)", src, 4)));
    EXPECT_TRUE(std::isnan(evaluate("10^400", src, 4)));

    // A NaN spoils the windows it is in and no other.
    const auto math = compiled({{"S", "smooth(1 / (Rpm - 200), 0.2s)"}});
    const std::vector<double> all = math->evaluateAll(src, 0);
    EXPECT_FALSE(std::isnan(all[1]));
    EXPECT_TRUE(std::isnan(all[2]));
    EXPECT_TRUE(std::isnan(all[3]));
    EXPECT_FALSE(std::isnan(all[4]));

    // An item whose group was not logged.
    const auto load = compiled({{"L", "Load * 2"}, {"R", "Rpm + 1"}});
    EXPECT_FALSE(load->available(src, 0));
    EXPECT_TRUE(load->available(src, 1));
    EXPECT_TRUE(std::isnan(at(*load, src, 0, 2)));
}

TEST(MathItems, ErrorsSayWhatAndWhere) {
    const struct {
        const char* expression;
        const char* error;
    } cases[] = {
        {"Boots", "Unknown item \"Boots\" at 1"},
        {"(Rpm + Boost * 2", "Missing ) at 17"},
        {"Rpm +", "Missing value at 6"},
        {"Rpm)", "Unmatched ) at 4"},
        {"Rpm # 2", "Unexpected \"#\" at 5"},
        {"Rpm[1]", "Expected -n samples back at 5"},
        {"Rpm[-1.5]", "Expected a whole number of samples at 6"},
        {"Rpm[-1", "Missing ] at 7"},
        {"Rpm@0.5s", "Expected a time back such as -0.5s at 5"},
        {"smooth(Rpm, 0.5)", "Expected s after the time at 16"},
        {"smooth(Rpm)", "Missing , and the time to smooth over at 11"},
        {"mean(Rpm)", "Unknown function \"mean\" at 1"},
        {"\"TPS V", "Missing \" at 7"},
        {"1.2.3", "Expected a number at 1"},
        {"", "Missing value at 1"},
        {"((((((((((((((((((1))))))))))))))))))", "Nested too deeply at 17"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mathExpressionError(c.expression, TraceItems{}, {}), c.error) << c.expression;
    EXPECT_EQ(mathExpressionError("\"TPS V\" * 2 + \"advanced boost\"", TraceItems{}, {}), "");
}

TEST(MathItems, ANameInTwoGroupsReadsAdvancedThenTheLoggedOne) {
    FakeSource both = tenSamples();
    both.set(kAdvancedBoost, std::vector<double>(10, 8));
    both.set(kBasicBoost, std::vector<double>(10, 25));
    FakeSource basicOnly = tenSamples();
    basicOnly.set(kBasicBoost, std::vector<double>(10, 25));
    EXPECT_EQ(evaluate("Boost", both, 0), 8);
    EXPECT_EQ(evaluate("BOOST", basicOnly, 0), 25);
    EXPECT_EQ(evaluate("\"Basic Boost\"", both, 0), 25);
    EXPECT_TRUE(std::isnan(evaluate("\"Advanced Boost\"", basicOnly, 0)));
}

TEST(MathItems, AnItemUsesOnlyTheOnesBeforeIt) {
    const FakeSource src = tenSamples();
    const auto math = compiled({{"Double", "Rpm * 2"}, {"Lag", "smooth(Double, 0.2s)[-1]"}});
    ASSERT_TRUE(math);
    EXPECT_DOUBLE_EQ(at(*math, src, 1, 5), (600 + 800) / 2.0);

    std::string error;
    EXPECT_FALSE(MathItems::compile({{"A", "B + 1"}, {"B", "Rpm"}}, TraceItems{}, &error));
    EXPECT_EQ(error, "Math item \"A\": Unknown item \"B\" at 1");
    EXPECT_FALSE(MathItems::compile({{"A", "1"}, {"a", "2"}}, TraceItems{}, &error));
    EXPECT_EQ(error, "Math item \"a\": \"a\" is named twice");
    EXPECT_FALSE(MathItems::compile({{"rpm", "1"}}, TraceItems{}, &error));
    EXPECT_FALSE(MathItems::compile({{" ", "1"}}, TraceItems{}, &error));
}

}  // namespace
}  // namespace tunalyx
