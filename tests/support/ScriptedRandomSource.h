// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RandomSource.h"

#include <QList>
#include <QString>
#include <functional>

// Hands out the given values in order (then 0), and logs each call: "R" for reseed, "N" for next.
class ScriptedRandomSource final : public RandomSource
{
public:
    explicit ScriptedRandomSource(QList<float> values = {}) : m_values(std::move(values)) {}

    void script(QList<float> values) { m_values = std::move(values), m_at = 0; }
    void reseed() override
    {
        m_log += u'R';
        if (onReseed)
            onReseed();
    }
    qsizetype position(qsizetype n) override { return positionOf(next(), n); }
    float next()
    {
        m_log += u'N';
        return m_at < m_values.size() ? m_values.at(m_at++) : 0.0f;
    }

    QString log() const { return m_log; }
    qsizetype nextCalls() const { return m_log.count(u'N'); }

    // Lets a test look at the world at the moment a run starts drawing.
    std::function<void()> onReseed;

private:
    QList<float> m_values;
    qsizetype m_at = 0;
    QString m_log;
};

// The largest single-precision value below 1.
inline constexpr float largestBelowOne = 1.0f - 1.0f / 16777216.0f;
