// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QVariant>

class Clock;

// Seconds from 1970-1-1 0:0:0 to strTime moved back by intTimeZone hours, by plain calendar
// arithmetic. A strTime that is no date becomes clock.now(); a zone that is no number becomes 0.
// A fractional zone moves by exactly that many hours (5.5 is 5 h 30 min).
qint64 ToUnixTime(const QVariant &strTime, const QVariant &intTimeZone, const Clock &clock);

// The wall-clock date-time of zone intTimeZone at timestamp intTime (UTC QDateTime carrying the
// wall fields, as Clock gives). An intTime that is no number gives clock.now(), with no zone.
QDateTime FromUnixTime(const QVariant &intTime, const QVariant &intTimeZone, const Clock &clock);
