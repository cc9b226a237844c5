// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Caesar.h"
#include "CharacterPool.h"
#include "FuzzInput.h"
#include "Password.h"
#include "RandomSource.h"
#include "SitepassError.h"

namespace {
// Random values taken from the fuzzer's bytes, so it can steer every draw.
class BytesRandom final : public RandomSource
{
public:
    explicit BytesRandom(FuzzInput &in) : m_in(in) {}
    void reseed() override {}
    qsizetype position(qsizetype n) override { return positionOf(next(), n); }
    float next()
    {
        const std::uint32_t bits = m_in.byte() | m_in.byte() << 8 | m_in.byte() << 16;
        return float(bits) / 16777216.0f;
    }

private:
    FuzzInput &m_in;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const std::uint8_t flags = in.byte();
    PasswordSettings settings{bool(flags & 1), bool(flags & 2), bool(flags & 4),
                              bool(flags & 8), in.text(),       QString::number(in.byte())};
    const CharacterPool pool(settings);

    FuzzInput replayInput = in; // the same bytes again, for the reference below
    BytesRandom random(in);
    const QString password = RandPass(settings, random);

    // Reference: the plain definition, entry by entry through entry(), then the rotation. The
    // fast path for one-unit pools and the pair-aware path must both agree with it.
    BytesRandom replay(replayInput);
    const qsizetype length = Password::lengthFromText(settings.lengthText);
    QString expected;
    qsizetype units = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const qsizetype k = RandomSource::positionOf(replay.next(), pool.size());
        FUZZ_CHECK(pool.isEmpty() || (k >= 1 && k <= pool.size()));
        expected += pool.entry(k);
        units += pool.entry(k).size();
    }
    const qsizetype offset = RandomSource::positionOf(replay.next(), pool.size());
    FUZZ_CHECK(password == Caesar(expected, double(offset)));
    FUZZ_CHECK(password.size() == units);
    return 0;
}
