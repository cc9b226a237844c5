// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppConfig.h"

#include "RandomSource.h"
#include "SitepassError.h"

#include <QList>
#include <array>

using namespace Qt::StringLiterals;

namespace AppConfig {

namespace {
bool isPostgres(SqlScript::Dialect engine)
{
    return engine == SqlScript::Dialect::PostgreSql;
}

QString laravel(const SiteTexts &p, SqlScript::Dialect engine, const QString &dbHost)
{
    // Refused before anything is written: one value misread would leave the others useless.
    const QList<std::pair<QString, QString>> checked = {{u"site_url"_s, p.siteUrl},
                                                        {u"--db-host"_s, dbHost},
                                                        {u"db_password"_s, p.databasePassword}};
    for (const auto &[field, value] : checked)
        if (const QString conflict = dotenvConflict(value); !conflict.isEmpty())
            throw SitepassError(SitepassError::Kind::ValueUnquotable, field, 0, conflict);

    // "mysql" is the driver every Laravel version has for MariaDB too.
    const QList<std::pair<QStringView, QString>> lines = {
        {u"APP_URL", dotenvValue(p.siteUrl)},
        {u"DB_CONNECTION", isPostgres(engine) ? u"pgsql"_s : u"mysql"_s},
        {u"DB_HOST", dotenvValue(dbHost)},
        {u"DB_PORT", QString::number(defaultPort(engine))},
        {u"DB_DATABASE", dotenvValue(p.tableName)},
        {u"DB_USERNAME", dotenvValue(p.databaseUser)},
        {u"DB_PASSWORD", dotenvValue(p.databasePassword)},
    };
    QString text;
    for (const auto &[key, value] : lines)
        text += key.toString() + u'=' + value + u'\n';
    return text;
}

QString wordPress(const SiteTexts &p, const QString &dbHost, RandomSource &random)
{
    const auto define = [](QStringView name, const QString &value, int width) {
        const QString quoted = phpString(name.toString()) + u',';
        return u"define( %1 %2 );\n"_s.arg(quoted, -width, u' ').arg(phpString(value));
    };
    // WordPress's own sample file, with the values filled in.
    QString text = u"<?php\n// WordPress's settings, made by sitepass-cli.\n\n"
                   "// ** Database settings ** //\n"_s;
    text += define(u"DB_NAME", p.tableName, 14);
    text += define(u"DB_USER", p.databaseUser, 14);
    text += define(u"DB_PASSWORD", p.databasePassword, 14);
    text += define(u"DB_HOST", dbHost, 14);
    text += define(u"DB_CHARSET", u"utf8mb4"_s, 14);
    text += define(u"DB_COLLATE", QString(), 14);
    text += u"\n// ** Authentication unique keys and salts ** //\n"_s;
    constexpr std::array<QStringView, 8> keys = {
        u"AUTH_KEY",  u"SECURE_AUTH_KEY",  u"LOGGED_IN_KEY",  u"NONCE_KEY",
        u"AUTH_SALT", u"SECURE_AUTH_SALT", u"LOGGED_IN_SALT", u"NONCE_SALT",
    };
    std::array<qsizetype, wordPressKeyLength> positions;
    for (QStringView key : keys) {
        random.positions(wordPressKeyAlphabet.size(), positions.data(), wordPressKeyLength);
        QString value;
        for (qsizetype p : positions)
            value += wordPressKeyAlphabet[p - 1];
        text += define(key, value, 20);
    }
    // ABSPATH only where the includer has not set it, as WordPress's own sample does.
    return text + u"\n$table_prefix = 'wp_';\n\n"
                  "define( 'WP_DEBUG', false );\n\n"
                  "/* That's all, stop editing! Happy publishing. */\n\n"
                  "if ( ! defined( 'ABSPATH' ) ) {\n"
                  "\tdefine( 'ABSPATH', __DIR__ . '/' );\n"
                  "}\n\n"
                  "require_once ABSPATH . 'wp-settings.php';\n"_s;
}

QString php(const SiteTexts &p, SqlScript::Dialect engine, const QString &dbHost)
{
    const QList<std::pair<QStringView, QString>> entries = {
        {u"driver", phpString(isPostgres(engine) ? u"pgsql"_s : u"mysql"_s)},
        {u"host", phpString(dbHost)},
        {u"port", QString::number(defaultPort(engine))},
        {u"database", phpString(p.tableName)},
        {u"username", phpString(p.databaseUser)},
        {u"password", phpString(p.databasePassword)},
        {u"charset", phpString(isPostgres(engine) ? u"utf8"_s : u"utf8mb4"_s)},
    };
    QString text = u"<?php\n// Database settings, made by sitepass-cli.\nreturn [\n"_s;
    for (const auto &[key, value] : entries)
        text += u"    %1 => %2,\n"_s.arg(phpString(key.toString()), -10, u' ').arg(value);
    return text + u"];\n"_s;
}
} // namespace

std::optional<Format> formatNamed(QStringView name)
{
    if (name == u"laravel")
        return Format::Laravel;
    if (name == u"wordpress")
        return Format::WordPress;
    if (name == u"php")
        return Format::Php;
    return std::nullopt;
}

int defaultPort(SqlScript::Dialect engine)
{
    return isPostgres(engine) ? 5432 : 3306;
}

QString dotenvConflict(QStringView text)
{
    return text.contains(u'\'') ? doubleQuotedConflict(text) : QString();
}

QString doubleQuotedConflict(QStringView text)
{
    const qsizetype n = text.size();
    const auto at = [&](qsizetype i) { return i < n ? text[i] : QChar(); };
    const auto isNameStart = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    };
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] == u'\\' && (at(i + 1) == u'n' || at(i + 1) == u'r' || at(i + 1) == u'"'))
            return text.mid(i, 2).toString();
        if (text[i] != u'$')
            continue;
        if (at(i + 1) == u'(')
            return u"$("_s;
        // Symfony's variable pattern: $, an optional {, an optional name, then :- or := takes
        // everything up to the next }, an escaped $ included.
        qsizetype j = i + 1;
        if (at(j) == u'{')
            ++j;
        if (at(j) == u'_' && isNameStart(at(j + 1))) // newer Symfony names may start with one
            ++j;
        if (isNameStart(at(j)))
            while (isNameStart(at(j)) || (at(j) >= u'0' && at(j) <= u'9') || at(j) == u'_')
                ++j;
        if (at(j) != u':' || (at(j + 1) != u'-' && at(j + 1) != u'='))
            continue;
        for (qsizetype k = j + 2; k < n && text[k] != u'}'; ++k)
            if (text[k] == u'$')
                return text.mid(i, k - i + 1).toString();
    }
    return {};
}

QString dotenvValue(const QString &text)
{
    if (!text.contains(u'\'')) {
        const QString quoted = u'\'' + text + u'\'';
        return text.contains(u"=\""_s) ? quoted + u" #\""_s : quoted;
    }
    QString quoted = text;
    quoted.replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s).replace(u'$', u"\\$"_s);
    return u'"' + quoted + u'"';
}

QString phpString(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\\', u"\\\\"_s).replace(u'\'', u"\\'"_s);
    return u'\'' + quoted + u'\'';
}

QString build(Format format, const SiteTexts &profile, SqlScript::Dialect engine,
              const QString &dbHost, RandomSource &random)
{
    if (format == Format::WordPress && isPostgres(engine))
        throw SitepassError(SitepassError::Kind::EngineUnsupported, u"wordpress"_s);
    SqlScript::checkNames(engine, profile);
    switch (format) {
    case Format::Laravel:
        return laravel(profile, engine, dbHost);
    case Format::WordPress:
        return wordPress(profile, dbHost, random);
    case Format::Php:
        return php(profile, engine, dbHost);
    }
    Q_UNREACHABLE();
}

} // namespace AppConfig
