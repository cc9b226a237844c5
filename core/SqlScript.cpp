// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SqlScript.h"

#include "PasswordHashes.h"
#include "RandomSource.h"
#include "SitepassError.h"

#include <array>

using namespace Qt::StringLiterals;

namespace SqlScript {

namespace {
// The portable limits of MariaDB and MySQL and PostgreSQL's, for ASCII names.
constexpr qsizetype mysqlDatabaseLimit = 64;
constexpr qsizetype mysqlUserLimit = 32;
constexpr qsizetype mysqlHostLimit = 255;
constexpr qsizetype postgresNameLimit = 63;

void checkLength(qsizetype length, qsizetype limit, const QString &field)
{
    if (length > limit)
        throw SitepassError(SitepassError::Kind::NameTooLong, field, limit);
}

// Names in ASCII alone: every client reads them alike, whatever character set it splits the
// script in, and a hosting account never needs more.
void checkCharacters(const QString &value, QStringView allowedPunctuation, const QString &field)
{
    for (const QChar c : value) {
        const bool alphanumeric =
            (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
        if (!alphanumeric && !allowedPunctuation.contains(c))
            throw SitepassError(SitepassError::Kind::NameBadCharacter, field);
    }
}

constexpr QStringView namePunctuation = u"_$";
constexpr QStringView hostPunctuation = u".-_%:/";

// `name` as a MariaDB/MySQL identifier: backquotes, a backquote doubled.
QString mysqlIdentifier(const QString &name)
{
    return u'`' + QString(name).replace(u'`', u"``"_s) + u'`';
}

// The database name as a GRANT pattern: there "_" and "%" are wildcards unless escaped, and a
// grant must not reach other databases.
QString mysqlGrantDatabase(const QString &name)
{
    QString escaped = name;
    escaped.replace(u'\\', u"\\\\"_s).replace(u'_', u"\\_"_s).replace(u'%', u"\\%"_s);
    return mysqlIdentifier(escaped);
}

// A MariaDB/MySQL string literal for a session whose sql_mode the script has reset, so that
// backslash escapes hold (the client reads them the same way when it looks for the end of a
// statement).
QString mysqlString(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\\', u"\\\\"_s).replace(u'\'', u"\\'"_s);
    return u'\'' + quoted + u'\'';
}

QString postgresIdentifier(const QString &name)
{
    return u'"' + QString(name).replace(u'"', u"\"\""_s) + u'"';
}

QString postgresString(const QString &text)
{
    return u'\'' + QString(text).replace(u'\'', u"''"_s) + u'\'';
}

QString mysqlFamily(Dialect dialect, const SiteTexts &profile, const QString &host)
{
    checkNames(dialect, profile);
    checkHost(host);
    const QString account = mysqlString(profile.databaseUser) + u'@' + mysqlString(host);
    const QString password =
        dialect == Dialect::MariaDb
            ? u"PASSWORD "_s + mysqlString(PasswordHashes::mysqlNative(profile.databasePassword))
            : mysqlString(profile.databasePassword);
    // The client splits the script into statements in its own character set (GBK under a
    // Chinese locale or console) before the server sees SET NAMES: it is told first. It stops
    // at the first error: a name that exists ends the run before the grant.
    return u"charset utf8mb4\n"
           "-- A site's database and its one user, made by sitepass-cli. Nothing is dropped\n"
           "-- or replaced: where a name exists the server refuses and the client stops.\n"
           "SET NAMES utf8mb4;\n"
           "-- Backslash escapes on for this session, whatever the server's sql_mode says.\n"
           "SET SESSION sql_mode = TRIM(BOTH ',' FROM REPLACE(CONCAT(',', @@SESSION.sql_mode, "
           "','), ',NO_BACKSLASH_ESCAPES,', ','));\n"
           "CREATE DATABASE %1;\n"
           "CREATE USER %2 IDENTIFIED BY %3;\n"
           "GRANT ALL PRIVILEGES ON %4.* TO %2;\n"_s.arg(mysqlIdentifier(profile.tableName),
                                                         account, password,
                                                         mysqlGrantDatabase(profile.tableName));
}

QByteArray salt(RandomSource &random)
{
    std::array<qsizetype, 16> positions;
    random.positions(256, positions.data(), qsizetype(positions.size()));
    QByteArray bytes;
    for (qsizetype p : positions)
        bytes += char(p - 1);
    return bytes;
}

QString postgres(const SiteTexts &profile, RandomSource &random)
{
    checkNames(Dialect::PostgreSql, profile);
    const QString verifier = PasswordHashes::scramSha256(profile.databasePassword, salt(random));
    const QString database = postgresIdentifier(profile.tableName);
    const QString role = postgresIdentifier(profile.databaseUser);
    // The database first: if it exists nothing is made; if the role exists, the database made
    // just now stays with the administrator and the existing role is given nothing.
    // psql reads the script in its client encoding (from the locale or PGCLIENTENCODING):
    // fixed first, before any byte that GBK or SJIS could read differently.
    return u"\\encoding UTF8\n"
           "-- A site's database and its one role, made by sitepass-cli. Nothing is dropped\n"
           "-- or replaced: psql stops at the first error.\n"
           "\\set ON_ERROR_STOP on\n"
           "-- From template0, which no session can sit in, and open to its own role alone.\n"
           "CREATE DATABASE %1 TEMPLATE template0;\n"
           "CREATE ROLE %2 LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION "
           "PASSWORD %3;\n"
           "ALTER DATABASE %1 OWNER TO %2;\n"
           "REVOKE CONNECT, TEMPORARY ON DATABASE %1 FROM PUBLIC;\n"_s.arg(
               database, role, postgresString(verifier));
}
} // namespace

void checkNames(Dialect dialect, const SiteTexts &profile)
{
    checkCharacters(profile.tableName, namePunctuation, u"db_table"_s);
    checkCharacters(profile.databaseUser, namePunctuation, u"db_user"_s);
    if (dialect == Dialect::PostgreSql) {
        checkLength(profile.tableName.size(), postgresNameLimit, u"db_table"_s);
        checkLength(profile.databaseUser.size(), postgresNameLimit, u"db_user"_s);
        return;
    }
    // The grant names the database by its escaped pattern, and the server holds that to the
    // limit too: checked here, or the script would stop after the database and user exist.
    checkLength(mysqlGrantDatabase(profile.tableName).size() - 2, mysqlDatabaseLimit,
                u"db_table"_s);
    checkLength(profile.databaseUser.size(), mysqlUserLimit, u"db_user"_s);
}

void checkHost(const QString &host)
{
    checkCharacters(host, hostPunctuation, u"--host"_s);
    checkLength(host.size(), mysqlHostLimit, u"--host"_s);
}

std::optional<Dialect> dialectNamed(QStringView name)
{
    if (name == u"mariadb")
        return Dialect::MariaDb;
    if (name == u"mysql")
        return Dialect::MySql;
    if (name == u"postgresql")
        return Dialect::PostgreSql;
    return std::nullopt;
}

QString passwordChange(Dialect dialect, const QString &password, RandomSource &random)
{
    switch (dialect) {
    case Dialect::MariaDb:
        return u"SET PASSWORD = %1"_s.arg(mysqlString(PasswordHashes::mysqlNative(password)));
    case Dialect::MySql:
        return u"ALTER USER CURRENT_USER() IDENTIFIED BY %1"_s.arg(mysqlString(password));
    case Dialect::PostgreSql:
        return u"ALTER ROLE CURRENT_USER PASSWORD %1"_s.arg(
            postgresString(PasswordHashes::scramSha256(password, salt(random))));
    }
    Q_UNREACHABLE();
}

QString build(Dialect dialect, const SiteTexts &profile, const QString &host, RandomSource &random)
{
    if (dialect == Dialect::PostgreSql)
        return postgres(profile, random);
    return mysqlFamily(dialect, profile, host);
}

QStringList drop(Dialect dialect, const QString &database, const QString &user, const QString &host)
{
    // The site's own sessions end first: an open transaction of its own would hold the drop.
    if (dialect == Dialect::PostgreSql)
        return {
            u"SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE usename = %1;"_s
                .arg(postgresString(user)),
            u"DROP DATABASE IF EXISTS %1 WITH (FORCE);"_s.arg(postgresIdentifier(database)),
            u"DROP ROLE IF EXISTS %1;"_s.arg(postgresIdentifier(user))};
    const QString account = mysqlString(user) + u'@' + mysqlString(host);
    return {u"DROP USER IF EXISTS %1;"_s.arg(account), u"KILL CONNECTION USER %1;"_s.arg(account),
            u"DROP DATABASE IF EXISTS %1;"_s.arg(mysqlIdentifier(database))};
}

QString countExisting(Dialect dialect, const QString &database, const QString &user)
{
    if (dialect == Dialect::PostgreSql)
        return u"SELECT (SELECT count(*) FROM pg_database WHERE datname = %1) + "
               "(SELECT count(*) FROM pg_roles WHERE rolname = %2)"_s.arg(postgresString(database),
                                                                          postgresString(user));
    return u"SELECT (SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = %1) + "
           "(SELECT COUNT(*) FROM mysql.user WHERE User = %2)"_s.arg(mysqlString(database),
                                                                     mysqlString(user));
}

} // namespace SqlScript
