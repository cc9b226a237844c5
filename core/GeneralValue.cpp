// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "GeneralValue.h"

#include "TextServices.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <cmath>

namespace GeneralValue {

std::optional<double> number(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Float:
    case QMetaType::Double: {
        const double d = value.toDouble();
        return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }
    case QMetaType::QString:
        return TextServices::tryTextToNumber(value.toString());
    default:
        return std::nullopt;
    }
}

std::optional<QDateTime> parseDateText(QStringView text)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*(\d{1,4})[-/.](\d{1,2})[-/.](\d{1,2})(?:(?:\s+|T)(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
    const QRegularExpressionMatch m = pattern.match(text.toString());
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone::utc());
}

std::optional<QDateTime> dateTime(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (!dt.isValid())
            return std::nullopt;
        const QTime t = dt.time();
        return QDateTime(dt.date(), QTime(t.hour(), t.minute(), t.second()), QTimeZone::utc());
    }
    case QMetaType::QDate: {
        const QDate d = value.toDate();
        return d.isValid() ? std::optional<QDateTime>(QDateTime(d, QTime(0, 0), QTimeZone::utc()))
                           : std::nullopt;
    }
    case QMetaType::QString:
        return parseDateText(value.toString());
    default:
        return std::nullopt;
    }
}

} // namespace GeneralValue
