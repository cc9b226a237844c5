// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Clock.h"
#include <QTimeZone>

class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDateTime wallClock = QDateTime(QDate(2020, 5, 31), QTime(18, 3, 43),
                                                        QTimeZone::utc()))
        : m_now(std::move(wallClock))
    {
    }
    void set(const QDateTime &wallClock) { m_now = wallClock; }
    QDateTime now() const override { return m_now; }

private:
    QDateTime m_now;
};
