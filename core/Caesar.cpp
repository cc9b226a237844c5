// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Caesar.h"

#include <array>
#include <cmath>

namespace {
// The shift 0..25 for any offset: a negative offset maps to a forward shift instead of a
// character outside the alphabet.
int effectiveShift(double offset)
{
    if (!std::isfinite(offset))
        return 0;
    const double whole = std::nearbyint(offset);
    // Integer remainder where it is exact; fmod (also exact) past that, so huge offsets wrap too.
    const double shift =
        std::fabs(whole) < 1e15 ? double(static_cast<qint64>(whole) % 26) : std::fmod(whole, 26.0);
    return (static_cast<int>(shift) + 26) % 26;
}
} // namespace

void rotateLetters(QString &text, qint64 offset)
{
    // Every shift of every ASCII code, built once: rotating is then one look-up per character.
    static const auto table = [] {
        std::array<std::array<char16_t, 128>, 26> t{};
        for (int shift = 0; shift < 26; ++shift) {
            for (char16_t u = 0; u < 128; ++u) {
                const char16_t base = (u >= u'A' && u <= u'Z')   ? u'A'
                                      : (u >= u'a' && u <= u'z') ? u'a'
                                                                 : 0;
                t[shift][u] = base ? char16_t(base + (u - base + shift) % 26) : u;
            }
        }
        return t;
    }();
    const int shift = int((offset % 26 + 26) % 26);
    if (shift == 0)
        return;
    const auto &rotate = table[shift];
    char16_t *units = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0, size = text.size(); i < size; ++i) {
        if (units[i] < 128)
            units[i] = rotate[units[i]];
    }
}

QString Caesar(const QString &str, double offset)
{
    QString result = str;
    rotateLetters(result, effectiveShift(offset));
    return result;
}
