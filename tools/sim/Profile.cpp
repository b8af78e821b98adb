#include "tools/sim/Profile.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "tools/sim/NameTable.h"

namespace mimicbox::sim {

namespace {

constexpr std::pair<std::string_view, ProfileKind> kProfileNames[] = {
    {"steps", ProfileKind::kSteps}, {"ramp", ProfileKind::kRamp},  {"sine", ProfileKind::kSine},
    {"random-walk", ProfileKind::kRandomWalk}, {"csv", ProfileKind::kTable},
};

double Ramp(const Profile& profile, double elapsed, double start)
{
    const double value = start + profile.rate * elapsed;
    if (!profile.to)
        return value;
    return profile.rate >= 0 ? std::min(value, *profile.to) : std::max(value, *profile.to);
}

double Sine(const Profile& profile, double elapsed)
{
    return profile.mean + profile.amplitude * std::sin(2 * std::numbers::pi * elapsed / profile.period + profile.phase);
}

// A standard normal draw by Box-Muller, from two uniform draws of the device's own source.
double Normal(Random& random)
{
    const double u = 1.0 - random.Uniform();  // in (0, 1], so the logarithm is finite
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2 * std::numbers::pi * random.Uniform());
}

double Walk(const Profile& profile, double current, Random& random)
{
    return std::clamp(current + profile.sigma * Normal(random), profile.min, profile.max);
}

double Table(const Profile& profile, double elapsed)
{
    const std::vector<TablePoint>& points = *profile.points;
    const double last = points.back().seconds;
    if (profile.loop && last > 0)
        elapsed = std::fmod(elapsed, last);
    const auto after = std::upper_bound(points.begin(), points.end(), elapsed,
                                        [](double t, const TablePoint& point) { return t < point.seconds; });
    if (after == points.begin())
        return points.front().value;
    const TablePoint& before = *(after - 1);
    if (after == points.end() || !profile.linear)
        return before.value;
    const double share = (elapsed - before.seconds) / (after->seconds - before.seconds);
    return before.value + share * (after->value - before.value);
}

}  // namespace

double ProfileValue(const Profile& profile, double elapsed, double start, double current, Random& random)
{
    switch (profile.kind) {
    case ProfileKind::kRamp:
        return Ramp(profile, elapsed, start);
    case ProfileKind::kSine:
        return Sine(profile, elapsed);
    case ProfileKind::kRandomWalk:
        return Walk(profile, current, random);
    case ProfileKind::kTable:
        return Table(profile, elapsed);
    case ProfileKind::kSteps:
        break;
    }
    return current;
}

bool ProfileIsAbsolute(ProfileKind kind) { return kind == ProfileKind::kSine || kind == ProfileKind::kTable; }

bool ParseStepMode(std::string_view text, int& stepMode)
{
    constexpr std::pair<std::string_view, int> kSteps[] = {
        {"none", STEP_NONE}, {"up", STEP_UP}, {"up-fast", STEP_UP_FAST}, {"down", STEP_DOWN}, {"down-fast", STEP_DOWN_FAST},
    };
    return ParseName(kSteps, text, stepMode);
}

const char* ProfileKindName(ProfileKind kind) { return NameOf(kProfileNames, kind, "steps"); }

bool ParseProfileKind(std::string_view name, ProfileKind& kind) { return ParseName(kProfileNames, name, kind); }

}  // namespace mimicbox::sim
