// What every suite's main does once its application exists: Google
// Benchmark reads its arguments (one it does not know is an error, not
// ignored), the suite registers its cases, every case runs.
#pragma once

#include "support/database_fixture.h"

#include <benchmark/benchmark.h>

#include <functional>

namespace priv::bench {

inline int RunBenchmarks(int& argc, char** argv, const std::function<void()>& registerCases = {})
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (registerCases)
        registerCases();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Registers a suite's cases once for each database this run can reach.
inline std::function<void()> PerBackend(void (*registerFor)(test::Backend))
{
    return [registerFor] {
        for (const test::Backend backend : test::AvailableBackends())
            registerFor(backend);
    };
}

} // namespace priv::bench
