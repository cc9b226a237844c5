// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CharacterPool.h"
#include "FuzzInput.h"
#include "Password.h"
#include "RandomSource.h"
#include "SitepassError.h"

#include <QSet>

namespace {
// Random values taken from the fuzzer's bytes, so it can steer every draw.
class BytesRandom final : public RandomSource
{
public:
    explicit BytesRandom(FuzzInput &in) : m_in(in) {}
    void reseed() override {}
    float next() override
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
    QSet<QString> entries;
    for (qsizetype k = 1; k <= pool.size(); ++k)
        entries.insert(pool.entry(k).toString());

    BytesRandom random(in);
    const QString password = RandPass(settings, random);
    if (pool.isEmpty()) {
        FUZZ_CHECK(password.isEmpty());
        return 0;
    }
    // Walk the password entry by entry: each is a pool entry (rotated if a letter), and a
    // surrogate pair is never split.
    qsizetype count = 0;
    for (qsizetype i = 0; i < password.size(); ++count) {
        const bool pair = i + 1 < password.size() && password.at(i).isHighSurrogate() &&
                          password.at(i + 1).isLowSurrogate();
        QString piece = password.mid(i, pair ? 2 : 1);
        // Two lone halves drawn side by side also look like a pair.
        if (pair && !entries.contains(piece) && entries.contains(piece.left(1)))
            piece.truncate(1);
        const char16_t u = piece.at(0).unicode();
        const bool letter = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
        FUZZ_CHECK(letter || entries.contains(piece));
        i += piece.size();
    }
    FUZZ_CHECK(count == Password::lengthFromText(settings.lengthText));
    return 0;
}
