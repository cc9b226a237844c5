// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppConfig.h"
#include "SqlScript.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// An application's settings file, as the config formats write it or a person edited it, read for
// its database account and given a new password with every other byte left as it was.
namespace SettingsFile {

// What the file names. The engine is MariaDb for "mysql" and "mariadb" alike: the server tells
// MySQL apart.
struct Account
{
    SqlScript::Dialect engine = SqlScript::Dialect::MariaDb;
    QString host;   // as the application has it
    int port = 0;   // 0: the engine's default
    QString socket; // a MariaDB socket, taken instead of host (Laravel's DB_SOCKET,
                    // WordPress's "localhost:/path")
    QString database;
    QString user;
    QString password;
};

struct Read
{
    Account account;
    qsizetype passwordBegin = 0; // the password's value as written, quotes included: bytes
    qsizetype passwordEnd = 0;
};

enum class Problem {
    Missing,    // the key is not there
    Twice,      // the key is there more than once
    NotLiteral, // ${VAR}, $(...), an escape or a PHP expression instead of a plain value
    MultiLine,  // the value goes on over more lines
    Disagree,   // the applications' parsers would read it differently
    Engine,     // no database this tool can talk to
    Port,       // not a port number
    Overrides,  // a URL that the application takes instead of the other keys (DB_URL)
};

// Why a file cannot be read: the key (as the file spells it) and what is wrong with it.
struct Unreadable
{
    QString key;
    Problem problem;
};

// Throws Unreadable.
Read read(AppConfig::Format format, QByteArrayView file);

// The file with the password's value replaced by `password`, quoted as the config formats quote
// it and read back to the same account; nothing where the format cannot hold it exactly (a .env
// value no quoting gives both parsers alike), for the caller to draw another.
std::optional<QByteArray> withPassword(AppConfig::Format format, QByteArrayView file,
                                       const Read &read, const QString &password);

} // namespace SettingsFile
