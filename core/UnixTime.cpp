// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "UnixTime.h"

#include "Clock.h"
#include "GeneralValue.h"
#include "SitepassError.h"

#include <cmath>

namespace {
const QDateTime &epoch()
{
    static const QDateTime value = *GeneralValue::parseDateText(u"1970-1-1 0:0:0");
    return value;
}

// Far beyond any calendar Qt holds, yet safe from overflow in the sums below.
constexpr double maxSeconds = 1e15;

qint64 wholeSeconds(double seconds, SitepassError::Kind tooFar)
{
    const double whole = std::nearbyint(seconds);
    if (!(std::fabs(whole) <= maxSeconds))
        throw SitepassError(tooFar);
    return static_cast<qint64>(whole);
}

qint64 zoneSeconds(const QVariant &intTimeZone)
{
    return wholeSeconds(GeneralValue::number(intTimeZone).value_or(0.0) * 3600.0,
                        SitepassError::Kind::ZoneOutOfRange);
}
} // namespace

qint64 ToUnixTime(const QVariant &strTime, const QVariant &intTimeZone, const Clock &clock)
{
    auto local = GeneralValue::dateTime(strTime);
    if (!local)
        local = GeneralValue::dateTime(clock.now());
    if (!local)
        throw SitepassError(SitepassError::Kind::ClockUnreadable);
    return epoch().secsTo(*local) - zoneSeconds(intTimeZone);
}

QDateTime FromUnixTime(const QVariant &intTime, const QVariant &intTimeZone, const Clock &clock)
{
    const auto seconds = GeneralValue::number(intTime);
    if (!seconds)
        return clock.now();
    const QDateTime result =
        epoch().addSecs(wholeSeconds(*seconds, SitepassError::Kind::TimestampOutOfRange) +
                        zoneSeconds(intTimeZone));
    if (!result.isValid())
        throw SitepassError(SitepassError::Kind::TimestampOutOfRange);
    return result;
}
