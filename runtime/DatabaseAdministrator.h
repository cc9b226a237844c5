// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SqlScript.h"

#include <QString>
#include <QStringList>

// Statements run as the database server's administrator the way Debian sets it up (Linux):
// MariaDB's root over its socket, PostgreSQL's postgres by peer, through the client libraries.
namespace DatabaseAdministrator {

struct Result
{
    bool ok = false;
    QString error; // the server's or the library's words
    QString value; // the last statement's first cell, where it returns one
};
// Stops at the first failure.
Result run(SqlScript::Dialect engine, const QStringList &statements);

} // namespace DatabaseAdministrator
