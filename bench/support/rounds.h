// Figures of interleaved rounds: each round runs the module's work and its
// baseline one right after the other (in turns which goes first), so that a
// machine shared with other work slows both alike; the report gives the
// median of each figure over the rounds and the median of the per-round
// ratios, which neither a cold first round nor one disturbed round moves.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace priv::bench {

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

class Rounds {
public:
    // Whether the module goes first in the round about to run.
    bool ModuleFirst() const { return rounds_ % 2 == 0; }

    void Add(const std::string& name, double value) { figures_[name].push_back(value); }
    // Ends a round whose module time and baseline time are named so.
    void EndRound(const std::string& measured, const std::string& baseline)
    {
        const std::vector<double>& m = figures_[measured];
        const std::vector<double>& b = figures_[baseline];
        if (!m.empty() && !b.empty() && b.back() > 0)
            ratios_.push_back(m.back() / b.back());
        ++rounds_;
    }

    double MedianOf(const std::string& name) const
    {
        const auto found = figures_.find(name);
        return found == figures_.end() ? 0.0 : Median(found->second);
    }

    // Every figure's median as a counter, "ratio" the median per-round ratio.
    void Report(benchmark::State& state) const
    {
        for (const auto& [name, values] : figures_)
            state.counters[name] = Median(values);
        state.counters["ratio"] = Median(ratios_);
        state.counters["rounds"] = static_cast<double>(rounds_);
    }

private:
    std::map<std::string, std::vector<double>> figures_;
    std::vector<double> ratios_;
    int rounds_ = 0;
};

} // namespace priv::bench
