// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Password throughput through RandPass's own path, beside the kernel's random-byte rate.
#include "Password.h"
#include "SystemRandomSource.h"

#include <benchmark/benchmark.h>
#include <sys/random.h>
#include <vector>

namespace {
void randPass(benchmark::State &state, const PasswordSettings &base)
{
    SystemRandomSource random;
    PasswordSettings settings = base;
    settings.lengthText = QString::number(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(RandPass(settings, random));
    state.SetItemsProcessed(state.iterations());
    // What the source really took from the kernel, offset draws included.
    state.counters["bytes_per_password"] = double(random.bytesUsed()) / double(state.iterations());
    state.counters["bytes_per_char"] =
        double(random.bytesUsed()) / double(state.iterations() * (state.range(0) + 1));
}
} // namespace

// The default settings: A-Z, a-z, 0-9, 62 entries.
static void RandPass_default(benchmark::State &state)
{
    randPass(state, PasswordSettings{});
}
BENCHMARK(RandPass_default)->Arg(16)->Arg(100000);

// All four classes with the default specials: 72 entries.
static void RandPass_allFour(benchmark::State &state)
{
    PasswordSettings settings;
    settings.special = true;
    randPass(state, settings);
}
BENCHMARK(RandPass_allFour)->Arg(16);

// The machine's limit: reading random bytes from the kernel in 1 MiB blocks, per byte.
static void KernelRandomBytes(benchmark::State &state)
{
    std::vector<unsigned char> buffer(1 << 20);
    for (auto _ : state) {
        std::size_t filled = 0;
        while (filled < buffer.size())
            filled += getrandom(buffer.data() + filled, buffer.size() - filled, 0);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * buffer.size());
}
BENCHMARK(KernelRandomBytes);

BENCHMARK_MAIN();
