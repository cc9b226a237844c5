// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// For each string of the JSON array on standard input, the .env text config laravel writes with
// it as both the database password and the database host, or null where it is refused. Lets
// dotenv_property.php put tens of thousands of values through both parsers in one run.
#include "AppConfig.h"
#include "SitepassError.h"
#include "support/ScriptedRandomSource.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

int main()
{
    QFile in, out;
    if (!in.open(stdin, QIODevice::ReadOnly) || !out.open(stdout, QIODevice::WriteOnly))
        return 1;
    const QJsonArray values = QJsonDocument::fromJson(in.readAll()).array();
    ScriptedRandomSource random;
    QJsonArray texts;
    for (const QJsonValue &value : values) {
        SiteTexts profile;
        profile.siteUrl = u"http://example.com"_s;
        profile.tableName = u"site_db"_s;
        profile.databaseUser = u"site_u"_s;
        profile.databasePassword = value.toString();
        try {
            texts.append(AppConfig::build(AppConfig::Format::Laravel, profile,
                                          SqlScript::Dialect::MariaDb, value.toString(), random));
        } catch (const SitepassError &e) {
            if (e.kind() != SitepassError::Kind::ValueUnquotable)
                return 1;
            texts.append(QJsonValue::Null);
        }
    }
    out.write(QJsonDocument(texts).toJson(QJsonDocument::Compact));
    return 0;
}
