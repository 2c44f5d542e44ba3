// The code-page unit on its own: a long text cut to a record field (every
// character's GBK width is measured), a field just over the 127 characters
// that can be taken without measuring, and the round trip of a parameter
// buffer.
#include "boundary/codepage.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string MixedText(std::size_t characters)
{
    static const char* pieces[] = {"操", "作", "员", "a", "权", "限", "1", "管", "理", "-"};
    std::string text;
    for (std::size_t i = 0; i < characters; ++i)
        text += pieces[i % 10];
    return text;
}

void BM_CutToHostBytes(benchmark::State& state)
{
    const std::string text = MixedText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(priv::CutToHostBytes(text, 255));
}
BENCHMARK(BM_CutToHostBytes)->Arg(140)->Arg(4000);

void BM_ParamBufferRoundTrip(benchmark::State& state)
{
    const std::string params = "CZY_DM=zhangwei;CZY_LB=SYSTEM;ModalFormMsg=操作员管理;JS_DM=GW00001";
    for (auto _ : state)
        benchmark::DoNotOptimize(priv::HostToUtf8(priv::Utf8ToHost(params)));
}
BENCHMARK(BM_ParamBufferRoundTrip);

} // namespace
