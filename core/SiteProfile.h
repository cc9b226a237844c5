// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SiteFields.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <functional>

class Clipboard;
class Clock;

// The nine texts the report is built from, in report order.
struct SiteTexts
{
    QString siteName;
    QString siteUrl;
    QString sitePort;
    QString tableName;
    QString databaseUser;
    QString databasePassword;
    QString adminPath;
    QString adminUser;
    QString adminPassword;
};

namespace SiteProfile {

// What a new profile starts with in the fields the steps never fill.
inline constexpr QStringView defaultPort = u"80";
inline constexpr QStringView defaultAdminPath = u"/admin.php";
inline constexpr QStringView defaultAdminUser = u"admin";

// The zone the profile stamps its time in (hours east of UTC).
inline constexpr int timeZone = 8;

// Draws one password by the caller's current password settings; may throw SitepassError.
using PasswordDraw = std::function<QString()>;

// The Unix time of the clock's wall-clock time in zone 8 as upper-case hex. Throws SitepassError
// (TimeBeyond32Bits) when the time does not fit a signed 32-bit integer.
QString timeToken(const Clock &clock);

QString siteUrl(const QString &siteName);
QString tableName(const QString &timeToken);
QString siteDirectory(const QString &siteName);

// The profile steps, in order: token as caption, URL, table name, database user read back from
// the table name, database password, admin password. Each write lands before the next step, so
// a throw leaves the earlier steps done. Returns the token.
QString fill(SiteFields &fields, const PasswordDraw &drawPassword, const Clock &clock);

// fill(), then the clipboard is cleared and given the report of the fields as they now stand.
void generate(SiteFields &fields, const PasswordDraw &drawPassword, const Clock &clock,
              Clipboard &clipboard);

SiteTexts readTexts(const SiteFields &fields);

// The profile as one JSON object (site_name ... admin_password, site_directory and token).
QByteArray toJson(const SiteTexts &texts, const QString &token);

// A profile read back from what toJson() or BuildSiteReport() wrote (the report with LF or
// CR LF line ends); JSON whose names were edited reads too. Fields the JSON lacks stay empty,
// except the three a database needs (table, user, password), which must be there and non-empty.
// Throws SitepassError (Profile* and Field* kinds) for anything else.
SiteTexts read(QByteArrayView input);

} // namespace SiteProfile

// Ten labelled lines, each ended by CR LF, ready for the clipboard.
QString BuildSiteReport(const SiteTexts &texts);
