// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteProfile.h"

#include "Clock.h"
#include "LongToHex.h"
#include "TextServices.h"
#include "UnixTime.h"

#include <array>

namespace SiteProfile {

QString timeToken(const Clock &clock)
{
    const qint64 seconds = ToUnixTime(clock.now(), timeZone, clock);
    return LongToHex(TextServices::toInt32(double(seconds),
                                           QStringLiteral("系统时间已超过 2038-01-19 03:14:07 UTC，"
                                                          "无法生成 32 位的时间标记。")));
}

QString siteUrl(const QString &siteName)
{
    return QStringLiteral("http://") + siteName;
}

QString tableName(const QString &timeToken)
{
    return QStringLiteral("s") + timeToken.toLower() + QStringLiteral("db0");
}

QString siteDirectory(const QString &siteName)
{
    return siteName.toUpper().replace(u'.', u'_');
}

} // namespace SiteProfile

QString BuildSiteReport(const SiteTexts &texts)
{
    const std::array<std::pair<QStringView, QString>, 10> lines{{
        {u"站 点 名 称：", texts.siteName},
        {u"站 点 目 录：", SiteProfile::siteDirectory(texts.siteName)},
        {u"站 点 网 址：", texts.siteUrl},
        {u"站 点 端 口：", texts.sitePort},
        {u"数据库表名：", texts.tableName},
        {u"数据库用户：", texts.dbUser},
        {u"数据库密码：", texts.dbPassword},
        {u"管理员后台：", texts.adminPath},
        {u"管理员用户：", texts.adminUser},
        {u"管理员密码：", texts.adminPassword},
    }};
    QString report;
    for (const auto &[label, value] : lines) {
        report += label;
        report += value;
        report += u"\r\n";
    }
    return report;
}
