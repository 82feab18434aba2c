#include "sim/engine_options.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace tunalyx {

namespace {
// Beyond this the default map could not be tuned to the requirement inside its own range.
constexpr double kMostUniformPercent = 50;
// Further than this from the default Ign Map is not an engine a tune could be made for.
constexpr double kMostUniformKnockDegrees = 30;
constexpr long kMostSpikeEvery = 1'000'000'000;
// The coolant points of the warm-up curve span these; a start beyond them is not a cold start.
constexpr double kColdestStartC = -30;
constexpr double kWarmestStartC = 80;
constexpr double kLeastDelayScale = 0.25;
constexpr double kMostDelayScale = 4;

// The whole text as a number, nothing when any of it is not.
template <typename T>
std::optional<T> wholeNumber(std::string_view text) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}
}  // namespace

std::string setDriveOption(std::string_view text, EngineOptions& options) {
    const auto kind = driveFromName(text);
    if (!kind) return "unknown drive '" + std::string(text) + "' (" + driveNamesText() + ")";
    options.drive = *kind;
    return {};
}

std::string setSeedOption(std::string_view text, EngineOptions& options) {
    std::uint64_t seed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return "--seed takes a whole number 0 or above, not '" + std::string(text) + "'";
    options.seed = seed;
    return {};
}

std::string setRequirementOption(std::string_view text, EngineOptions& options) {
    if (text == "correct") {
        options.requirement = RequirementKind::Correct;
        return {};
    }
    if (text == "pattern") {
        options.requirement = RequirementKind::Pattern;
        return {};
    }
    constexpr std::string_view kUniform = "uniform=";
    if (text.substr(0, kUniform.size()) == kUniform) {
        const std::string_view number = text.substr(kUniform.size());
        double percent = 0;
        const auto [end, ec] =
            std::from_chars(number.data(), number.data() + number.size(), percent);
        if (!number.empty() && ec == std::errc() && end == number.data() + number.size() &&
            std::abs(percent) <= kMostUniformPercent) {
            options.requirement = RequirementKind::Uniform;
            options.uniformLeanPercent = percent;
            return {};
        }
    }
    return "--requirement takes correct, pattern or uniform=P (P percent lean, -50 to 50), not '" +
           std::string(text) + "'";
}

std::string setKnockLimitOption(std::string_view text, EngineOptions& options) {
    if (text == "pattern") {
        options.knockLimit = KnockLimitKind::Pattern;
        return {};
    }
    if (text == "none") {
        options.knockLimit = KnockLimitKind::None;
        return {};
    }
    constexpr std::string_view kUniform = "uniform=";
    if (text.substr(0, kUniform.size()) == kUniform) {
        const auto degrees = wholeNumber<double>(text.substr(kUniform.size()));
        if (degrees && std::abs(*degrees) <= kMostUniformKnockDegrees) {
            options.knockLimit = KnockLimitKind::Uniform;
            options.uniformKnockDegrees = *degrees;
            return {};
        }
    }
    return "--knock-limit takes pattern, none or uniform=DEG (DEG degrees over the default Ign "
           "Map, -30 to 30), not '" +
           std::string(text) + "'";
}

std::string setKnockSpikesOption(std::string_view text, EngineOptions& options) {
    const auto every = wholeNumber<long>(text);
    if (!every || *every < 0 || *every > kMostSpikeEvery)
        return "--knock-spikes takes a whole number 0 or above (one spike in N readings, 0 for "
               "none), not '" +
               std::string(text) + "'";
    options.knockSpikeEvery = *every;
    return {};
}

std::string setColdStartOption(std::string_view text, EngineOptions& options) {
    const auto celsius = wholeNumber<double>(text);
    if (!celsius || !(*celsius >= kColdestStartC && *celsius <= kWarmestStartC))
        return "--cold-start takes the coolant temperature at the start, -30 to 80 C, not '" +
               std::string(text) + "'";
    options.coldStartC = *celsius;
    return {};
}

std::string setSensorDelayScaleOption(std::string_view text, EngineOptions& options) {
    const auto scale = wholeNumber<double>(text);
    if (!scale || !(*scale >= kLeastDelayScale && *scale <= kMostDelayScale))
        return "--sensor-delay-scale takes a factor from 0.25 to 4, not '" + std::string(text) +
               "'";
    options.sensorDelayScale = *scale;
    return {};
}

}  // namespace tunalyx
