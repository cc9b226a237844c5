// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Caesar.h"

#include <cmath>

namespace {
// The shift 0..25 for any offset. fmod is exact, so even huge offsets wrap correctly, and a
// negative offset maps to a forward shift instead of a character outside the alphabet.
int effectiveShift(double offset)
{
    if (!std::isfinite(offset))
        return 0;
    const double shift = std::fmod(std::nearbyint(offset), 26.0);
    return (static_cast<int>(shift) + 26) % 26;
}
} // namespace

void rotateLetters(QString &text, double offset)
{
    const int shift = effectiveShift(offset);
    if (shift == 0)
        return;
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            c = QChar(char16_t(u'A' + (u - u'A' + shift) % 26));
        else if (u >= u'a' && u <= u'z')
            c = QChar(char16_t(u'a' + (u - u'a' + shift) % 26));
    }
}

QString Caesar(const QString &str, double offset)
{
    QString result = str;
    rotateLetters(result, offset);
    return result;
}
