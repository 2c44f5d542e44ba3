// Enciphering and deciphering a typical password (the password boxes take 20
// characters) and a full 400-byte block.
#include "cipher/crypt.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string PlainOfLength(std::size_t length)
{
    std::string plain;
    for (std::size_t i = 0; i < length; ++i)
        plain.push_back(static_cast<char>(i * 37 + 11));
    return plain;
}

void BM_EncryptText(benchmark::State& state)
{
    const priv::TCrypt crypt;
    const std::string plain = PlainOfLength(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(crypt.EncryptText(plain));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_DecryptText(benchmark::State& state)
{
    const priv::TCrypt crypt;
    const std::string plain = PlainOfLength(static_cast<std::size_t>(state.range(0)));
    const std::string enciphered = crypt.EncryptText(plain);
    for (auto _ : state)
        benchmark::DoNotOptimize(crypt.DecryptText(enciphered));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// What the module calls: UTF-8 in and out, through the host code page.
void BM_EncryptPassword(benchmark::State& state)
{
    const std::string password = "Admin管理员2024pass!!!!"; // 20 characters
    for (auto _ : state)
        benchmark::DoNotOptimize(priv::EncryptPassword(password));
}

void BM_DecryptPassword(benchmark::State& state)
{
    const std::string enciphered = priv::EncryptPassword("Admin管理员2024pass!!!!");
    for (auto _ : state)
        benchmark::DoNotOptimize(priv::DecryptPassword(enciphered));
}

} // namespace

BENCHMARK(BM_EncryptText)->Arg(20)->Arg(400);
BENCHMARK(BM_DecryptText)->Arg(20)->Arg(400);
BENCHMARK(BM_EncryptPassword);
BENCHMARK(BM_DecryptPassword);
