// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

class Clock;

// The nine boxes of the site-profile area, Text1 to Text9, as the report reads them.
struct SiteTexts
{
    QString siteName;      // Text1
    QString siteUrl;       // Text2
    QString sitePort;      // Text3
    QString tableName;     // Text4
    QString dbUser;        // Text5
    QString dbPassword;    // Text6
    QString adminPath;     // Text7
    QString adminUser;     // Text8
    QString adminPassword; // Text9
};

namespace SiteProfile {

// The zone the profile stamps its time in (hours east of UTC).
inline constexpr int timeZone = 8;

// The Unix time of the clock's wall-clock time in zone 8 as upper-case hex. Throws SitepassError
// when the time does not fit a signed 32-bit integer (after 2038-01-19 03:14:07 UTC).
QString timeToken(const Clock &clock);

QString siteUrl(const QString &siteName);
QString tableName(const QString &timeToken);
QString siteDirectory(const QString &siteName);

} // namespace SiteProfile

// Ten labelled lines, each ended by CR LF, ready for the clipboard.
QString BuildSiteReport(const SiteTexts &texts);
