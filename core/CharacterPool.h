// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PasswordSettings.h"

#include <QList>
#include <QString>
#include <QStringView>

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
    qsizetype size() const { return m_starts.size() - 1; }
    bool isEmpty() const { return size() == 0; }
    // Entry k, counted from 1 as draw positions are; a position outside 1..size() is nothing.
    QStringView entry(qsizetype k) const;
    void appendEntry(QString &out, qsizetype k) const;

private:
    QString m_units;
    QList<qsizetype> m_starts{0}; // start of each entry in m_units, plus the end
};
