// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Password throughput through RandPass's own path, beside the kernel's random-byte rate.
#include "Password.h"
#include "SystemRandomSource.h"

#include <benchmark/benchmark.h>
#include <sys/random.h>
#include <vector>

static void RandPass_default(benchmark::State &state)
{
    SystemRandomSource random;
    PasswordSettings settings;
    settings.lengthText = QString::number(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(RandPass(settings, random));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(RandPass_default)->Arg(16)->Arg(100000);

// The machine's limit: the random bytes the same passwords consume, read in one large buffer.
static void KernelRandomBytes(benchmark::State &state)
{
    const std::size_t perPassword = SystemRandomSource::bytesPerValue * (state.range(0) + 1);
    const std::size_t passwordsPerRead = std::max<std::size_t>(1, (1 << 20) / perPassword);
    std::vector<unsigned char> buffer(perPassword * passwordsPerRead);
    for (auto _ : state) {
        std::size_t filled = 0;
        while (filled < buffer.size())
            filled += getrandom(buffer.data() + filled, buffer.size() - filled, 0);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetItemsProcessed(state.iterations() * passwordsPerRead);
}
BENCHMARK(KernelRandomBytes)->Arg(16)->Arg(100000);

BENCHMARK_MAIN();
