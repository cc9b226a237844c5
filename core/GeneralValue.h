// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QVariant>
#include <optional>

// The loosely typed values the time conversions accept: empty, a number, a date-time or text.
namespace GeneralValue {

// A number, or text that reads as one (" 8 ", "5.5"); empty and anything else give nothing.
std::optional<double> number(const QVariant &value);

// A date-time (QDateTime, QDate) or text such as "2020-05-31 18:03:43", "1970-1-1 0:0:0",
// "2020/5/31" or "2020-05-31T18:03". The result holds the wall-clock fields in a UTC QDateTime,
// as Clock::now() does; whatever zone a QDateTime argument carried is dropped, not applied.
std::optional<QDateTime> dateTime(const QVariant &value);

// Reads date text alone; nothing for text that is no valid calendar date and time.
std::optional<QDateTime> parseDateText(QStringView text);

} // namespace GeneralValue
