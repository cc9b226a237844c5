// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CharacterPool.h"

#include "TextServices.h"

const QString CharacterPool::upperCase = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const QString CharacterPool::lowerCase = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
const QString CharacterPool::digits = QStringLiteral("0123456789");

CharacterPool::CharacterPool(const PasswordSettings &settings)
{
    if (settings.upper)
        append(upperCase);
    if (settings.lower)
        append(lowerCase);
    if (settings.digits)
        append(digits);
    if (settings.special)
        append(TextServices::trimSpaces(settings.specialText));
}

void CharacterPool::append(QStringView text)
{
    m_units.append(text);
    m_starts.reserve(m_starts.size() + text.size());
    qsizetype at = m_starts.last();
    const qsizetype end = at + text.size();
    while (at < end) {
        const bool pair =
            at + 1 < end && m_units.at(at).isHighSurrogate() && m_units.at(at + 1).isLowSurrogate();
        at += pair ? 2 : 1;
        m_starts.append(at);
    }
}

QStringView CharacterPool::entry(qsizetype k) const
{
    if (k < 1 || k > size())
        return {};
    const qsizetype begin = m_starts.at(k - 1);
    return QStringView(m_units).mid(begin, m_starts.at(k) - begin);
}

void CharacterPool::appendEntry(QString &out, qsizetype k) const
{
    if (k < 1 || k > size())
        return;
    const qsizetype begin = m_starts.at(k - 1);
    const qsizetype length = m_starts.at(k) - begin;
    if (length == 1)
        out.append(m_units.at(begin));
    else
        out.append(QStringView(m_units).mid(begin, length));
}
