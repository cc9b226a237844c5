// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CharacterPool.h"

#include "TextServices.h"

namespace {
bool containsSurrogate(QStringView text)
{
    // No early exit, so the compiler can scan many units at a time.
    bool any = false;
    for (QChar c : text)
        any |= (c.unicode() & 0xF800) == 0xD800;
    return any;
}
} // namespace

const QString CharacterPool::upperCase = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const QString CharacterPool::lowerCase = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
const QString CharacterPool::digits = QStringLiteral("0123456789");

CharacterPool::CharacterPool(const PasswordSettings &settings)
{
    // The class texts are plain ASCII: no need to look for surrogate pairs in them.
    if (settings.upper)
        m_units.append(upperCase.constData(), upperCase.size());
    if (settings.lower)
        m_units.append(lowerCase.constData(), lowerCase.size());
    if (settings.digits)
        m_units.append(digits.constData(), digits.size());
    if (settings.special)
        append(TextServices::trimSpaces(settings.specialText));
}

void CharacterPool::append(QStringView text)
{
    const qsizetype first = m_units.size();
    m_units.append(text.data(), text.size());
    if (!m_starts.isEmpty() || containsSurrogate(text))
        markEntries(first);
}

void CharacterPool::markEntries(qsizetype first)
{
    for (qsizetype at = first; at < m_units.size(); ++at) {
        const bool pair = at + 1 < m_units.size() && m_units[at].isHighSurrogate() &&
                          m_units[at + 1].isLowSurrogate();
        if (pair && m_starts.isEmpty()) {
            // The first pair: from here on entries need their own start positions.
            for (qsizetype i = 0; i <= at; ++i)
                m_starts.append(i);
        }
        if (!m_starts.isEmpty()) {
            at += pair ? 1 : 0;
            m_starts.append(at + 1);
        }
    }
}
