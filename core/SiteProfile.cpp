// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteProfile.h"

#include "Clipboard.h"
#include "Clock.h"
#include "LongToHex.h"
#include "SitepassError.h"
#include "TextServices.h"
#include "UnixTime.h"

#include <array>

namespace SiteProfile {

QString timeToken(const Clock &clock)
{
    const qint64 seconds = ToUnixTime(clock.now(), timeZone, clock);
    const auto whole = TextServices::toInt32(double(seconds));
    if (!whole)
        throw SitepassError(SitepassError::Kind::TimeBeyond32Bits);
    return LongToHex(*whole);
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

QString fill(SiteFields &fields, const PasswordDraw &drawPassword, const Clock &clock)
{
    const QString token = timeToken(clock);
    fields.setCaption(token);
    fields.setText(SiteField::SiteUrl, siteUrl(fields.text(SiteField::SiteName)));
    fields.setText(SiteField::TableName, tableName(token));
    fields.setText(SiteField::DatabaseUser, fields.text(SiteField::TableName));
    fields.setText(SiteField::DatabasePassword, drawPassword());
    fields.setText(SiteField::AdminPassword, drawPassword());
    return token;
}

void generate(SiteFields &fields, const PasswordDraw &drawPassword, const Clock &clock,
              Clipboard &clipboard)
{
    fill(fields, drawPassword, clock);
    clipboard.clear();
    clipboard.setText(BuildSiteReport(readTexts(fields)), Clipboard::Content::Secret);
}

SiteTexts readTexts(const SiteFields &fields)
{
    return {fields.text(SiteField::SiteName),     fields.text(SiteField::SiteUrl),
            fields.text(SiteField::SitePort),     fields.text(SiteField::TableName),
            fields.text(SiteField::DatabaseUser), fields.text(SiteField::DatabasePassword),
            fields.text(SiteField::AdminPath),    fields.text(SiteField::AdminUser),
            fields.text(SiteField::AdminPassword)};
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
        {u"数据库用户：", texts.databaseUser},
        {u"数据库密码：", texts.databasePassword},
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
