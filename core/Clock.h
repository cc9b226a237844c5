// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

// The local wall-clock date and time to the second. The value carries the wall-clock fields in a
// UTC QDateTime, so that no time-zone or daylight-saving rule of the machine touches any later
// arithmetic: all calendar sums on it are plain.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};
