// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PasswordSettings.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

// The candidate characters of one run, in the order upper, lower, digits, special, repeats kept.
// A surrogate pair is a single entry so that a password never holds half a character.
class CharacterPool
{
public:
    static const QString upperCase;
    static const QString lowerCase;
    static const QString digits;

    CharacterPool() = default;
    explicit CharacterPool(const PasswordSettings &settings);

    void append(QStringView text);

    // Number of entries, not of UTF-16 code units.
    qsizetype size() const { return m_starts.isEmpty() ? m_units.size() : m_starts.size() - 1; }
    bool isEmpty() const { return m_units.isEmpty(); }
    // True when every entry is one code unit, so entry k is unit k - 1.
    bool singleUnits() const { return m_starts.isEmpty(); }
    // The pool's code units; entry k is units()[k - 1] when singleUnits().
    const QChar *units() const { return m_units.constData(); }
    // Code units of the longest entry: 2 once a surrogate pair is in, else 1 (0 when empty).
    qsizetype widestEntry() const { return isEmpty() ? 0 : singleUnits() ? 1 : 2; }

    // Entry k, counted from 1 as draw positions are; a position outside 1..size() is nothing.
    QStringView entry(qsizetype k) const
    {
        if (k < 1 || k > size())
            return {};
        if (singleUnits())
            return QStringView(m_units.constData() + k - 1, 1);
        const qsizetype begin = m_starts[k - 1];
        return QStringView(m_units.constData() + begin, m_starts[k] - begin);
    }

private:
    void markEntries(qsizetype first);

    // A run's pool is built afresh every time: keep the usual few dozen units off the heap.
    QVarLengthArray<QChar, 128> m_units;
    // Start of each entry plus the end; only kept once a surrogate pair makes entries uneven.
    QList<qsizetype> m_starts;
};
