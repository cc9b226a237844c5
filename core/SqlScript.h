// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SiteProfile.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

class RandomSource;

// The script that creates a profile's database and its one user, for each server family.
namespace SqlScript {

enum class Dialect {
    MariaDb,    // the password as its mysql_native_password hash
    MySql,      // the password as a literal, for MySQL 5.7 and 8
    PostgreSql, // the password as a SCRAM-SHA-256 verifier
};

inline constexpr QStringView defaultHost = u"localhost";

// "mariadb", "mysql" or "postgresql".
std::optional<Dialect> dialectNamed(QStringView name);

// Throws SitepassError (NameBadCharacter, NameTooLong) for a database or user name the dialect's
// server would refuse, cut or a client misread; build() checks them too.
void checkNames(Dialect dialect, const SiteTexts &profile);

// Throws SitepassError (NameBadCharacter, NameTooLong) for a host no account could have; build()
// checks it too.
void checkHost(const QString &host);

// CREATE DATABASE, CREATE USER (or ROLE) and the one grant, in an order that stops before any
// grant when a name already exists; nothing is dropped, altered or reused. The salt of a
// PostgreSQL verifier comes from `random`. Names are ASCII letters, digits, "_" and "$"; the host
// adds ".-%:/". Throws SitepassError (NameBadCharacter, NameTooLong) for any other name, and for
// one the server would refuse or cut.
QString build(Dialect dialect, const SiteTexts &profile, const QString &host, RandomSource &random);

// The statement a logged-in user runs to change its own password: MariaDB's SET PASSWORD with
// the hash, PostgreSQL's ALTER ROLE CURRENT_USER with a verifier salted from `random`, so that
// neither server sees the password; MySQL's ALTER USER takes it as a literal, as build() does.
QString passwordChange(Dialect dialect, const QString &password, RandomSource &random);

// What undoes build() for the administrator, each statement harmless where its object is gone:
// the user (or role), then the database.
QStringList drop(Dialect dialect, const QString &database, const QString &user,
                 const QString &host);

// A query whose one value counts the databases and users (or roles) of these names that exist.
QString countExisting(Dialect dialect, const QString &database, const QString &user);

} // namespace SqlScript
