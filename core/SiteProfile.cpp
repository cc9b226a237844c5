// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteProfile.h"

#include "Clipboard.h"
#include "Clock.h"
#include "LongToHex.h"
#include "SitepassError.h"
#include "TextServices.h"
#include "UnixTime.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringDecoder>
#include <array>

using namespace Qt::StringLiterals;

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

namespace {
// The report's labels in line order; line 2 (the directory) has no field of its own.
constexpr std::array<QStringView, 10> reportLabels = {
    u"站 点 名 称：", u"站 点 目 录：", u"站 点 网 址：", u"站 点 端 口：", u"数据库表名：",
    u"数据库用户：",  u"数据库密码：",  u"管理员后台：",  u"管理员用户：",  u"管理员密码：",
};

// The fields with their JSON names and their report lines, in report order.
struct FieldName
{
    QString SiteTexts::*member;
    QStringView key;
    int line; // index into reportLabels
};
const std::array<FieldName, 9> fieldNames = {{
    {&SiteTexts::siteName, u"site_name", 0},
    {&SiteTexts::siteUrl, u"site_url", 2},
    {&SiteTexts::sitePort, u"site_port", 3},
    {&SiteTexts::tableName, u"db_table", 4},
    {&SiteTexts::databaseUser, u"db_user", 5},
    {&SiteTexts::databasePassword, u"db_password", 6},
    {&SiteTexts::adminPath, u"admin_path", 7},
    {&SiteTexts::adminUser, u"admin_user", 8},
    {&SiteTexts::adminPassword, u"admin_password", 9},
}};
// What a database needs: the table name, the user and the password.
constexpr std::array<std::size_t, 3> requiredFields = {3, 4, 5};

// A value no line-based report could have held, or that would reach a terminal or a script as
// an escape sequence.
bool hasBadCharacter(QStringView value)
{
    return TextServices::firstUnprintable(value).has_value();
}

SiteTexts readJson(const QByteArray &input)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(input, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw SitepassError(SitepassError::Kind::ProfileUnrecognised, u"JSON"_s);
    const QJsonObject object = document.object();
    SiteTexts texts;
    for (const FieldName &field : fieldNames) {
        const QJsonValue value = object.value(field.key);
        if (value.isUndefined())
            continue;
        if (!value.isString())
            throw SitepassError(SitepassError::Kind::ProfileUnrecognised, field.key.toString());
        texts.*field.member = value.toString();
        if (hasBadCharacter(texts.*field.member))
            throw SitepassError(SitepassError::Kind::FieldBadCharacter, field.key.toString());
    }
    for (std::size_t required : requiredFields) {
        const FieldName &field = fieldNames[required];
        if (!object.contains(field.key))
            throw SitepassError(SitepassError::Kind::FieldMissing, field.key.toString());
        if ((texts.*field.member).isEmpty())
            throw SitepassError(SitepassError::Kind::FieldEmpty, field.key.toString());
    }
    return texts;
}

SiteTexts readReport(const QString &input)
{
    // One line end after the last line, as written; a copy may have lost it or gained more.
    QString text = input;
    while (text.endsWith(u'\n'))
        text.chop(text.endsWith(u"\r\n") ? 2 : 1);
    QStringList lines = text.split(u'\n');
    if (lines.size() != int(reportLabels.size()))
        throw SitepassError(SitepassError::Kind::ProfileUnrecognised, u"report"_s);
    SiteTexts texts;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString &line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.startsWith(reportLabels[i]))
            throw SitepassError(SitepassError::Kind::FieldMissing,
                                reportLabels[i].chopped(1).toString());
        if (hasBadCharacter(line))
            throw SitepassError(SitepassError::Kind::FieldBadCharacter,
                                reportLabels[i].chopped(1).toString());
    }
    for (const FieldName &field : fieldNames)
        texts.*field.member = lines[field.line].mid(reportLabels[field.line].size());
    for (std::size_t required : requiredFields) {
        const FieldName &field = fieldNames[required];
        if ((texts.*field.member).isEmpty())
            throw SitepassError(SitepassError::Kind::FieldEmpty,
                                reportLabels[field.line].chopped(1).toString());
    }
    return texts;
}
} // namespace

QByteArray SiteProfile::toJson(const SiteTexts &texts, const QString &token)
{
    QJsonObject object{{u"site_directory"_s, siteDirectory(texts.siteName)}, {u"token"_s, token}};
    for (const FieldName &field : fieldNames)
        object.insert(field.key, texts.*field.member);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

SiteTexts SiteProfile::read(QByteArrayView input)
{
    // A UTF-8 byte order mark, as some editors save it, is not part of the profile.
    if (input.startsWith("\xEF\xBB\xBF"))
        input = input.sliced(3);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(input);
    if (decoder.hasError())
        throw SitepassError(SitepassError::Kind::ProfileNotUtf8);
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        throw SitepassError(SitepassError::Kind::ProfileEmpty);
    if (trimmed.startsWith(u'{'))
        return readJson(input.toByteArray());
    return readReport(text);
}

QString BuildSiteReport(const SiteTexts &texts)
{
    const std::array<QString, 10> values = {
        texts.siteName,         SiteProfile::siteDirectory(texts.siteName),
        texts.siteUrl,          texts.sitePort,
        texts.tableName,        texts.databaseUser,
        texts.databasePassword, texts.adminPath,
        texts.adminUser,        texts.adminPassword,
    };
    QString report;
    for (std::size_t line = 0; line < values.size(); ++line) {
        report += reportLabels[line];
        report += values[line];
        report += u"\r\n";
    }
    return report;
}
