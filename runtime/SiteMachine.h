// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SqlScript.h"

#include <QString>
#include <QStringList>
#include <optional>

// The server a site is made on (Linux): its users, files, programs, database administrators and
// web servers, as Debian's packages set them up. Failures are errno values or the programs' own
// words; nothing here decides what to do about them.
namespace SiteMachine {

// Users and groups.
bool userExists(const QString &name);
bool groupExists(const QString &name);
// A system user with a group of its name, no home and no login shell; the program's words on
// failure.
QString addSystemUser(const QString &name);
// The user and its group, where they are.
QString removeUser(const QString &name);

// Files and folders, owned by user:group (names; empty for root).
bool exists(const QString &path); // a link counts, whatever it points to
int makeFolder(const QString &path, const QString &user, const QString &group, int mode);
// A new file, complete or not at all, never over one that is there.
int writeFile(const QString &path, const QString &text, const QString &user, const QString &group,
              int mode);
int makeLink(const QString &target, const QString &path);
// A file or link, or a folder with all it holds (links removed, never followed).
int remove(const QString &path);

// A program's exit status (-1: it did not run) and what it printed, both streams.
struct Run
{
    int status = -1;
    QString output;
    bool ok() const { return status == 0; }
};
Run run(const QString &program, const QStringList &arguments);

// The newest PHP-FPM installed: "8.2", or nothing.
std::optional<QString> phpVersion();
// Whether systemd runs this machine's services.
bool systemdRuns();

// A page from a site on this machine: the body of http://ADDRESS:PORT/ asked for HOST, or empty.
QString fetch(const QString &address, const QString &port, const QString &host);

// Statements run as the database server's administrator the way Debian sets it up: MariaDB's
// root over its socket, PostgreSQL's postgres by peer. Stops at the first failure. The value of
// the last statement's first cell where it returns one.
struct AdminResult
{
    bool ok = false;
    QString error; // the server's or the library's words
    QString value;
};
AdminResult runAsAdministrator(SqlScript::Dialect engine, const QStringList &statements);

} // namespace SiteMachine
