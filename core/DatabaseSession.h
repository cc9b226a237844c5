// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsFile.h"

#include <QString>

// One login to a site's database server as the site's own user, through a client library (never
// a client program, whose arguments every local user can read).
class DatabaseSession
{
public:
    enum class Status {
        Ok,
        WrongPassword, // the server turned the login away
        Unreachable,   // no server answered, or the connection broke
        Refused,       // the server answered a statement with an error
    };

    virtual ~DatabaseSession() = default;

    // Logs in to the account's database; the session stays open for run().
    virtual Status logIn(const SettingsFile::Account &account, const QString &password) = 0;
    // MariaDB, rather than MySQL (for PostgreSQL: false). Known once logged in.
    virtual bool isMariaDb() const = 0;
    virtual Status run(const QString &statement) = 0;
    // The server's or the library's own words for the last failure.
    virtual QString lastError() const = 0;
    // A name for the server in messages: "MariaDB 10.11.6", "PostgreSQL 15.8".
    virtual QString serverName() const = 0;
};
