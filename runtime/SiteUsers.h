// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The site's own system user and group (Linux), made and removed with the system's programs.
namespace SiteUsers {
bool userExists(const QString &name);
bool groupExists(const QString &name);
// A system user with a group of its name, no home and no login shell; the program's words on
// failure.
QString addSystemUser(const QString &name);
// The user and its group, where they are.
QString removeUser(const QString &name);
// No login of any kind: the password locked and the account expired.
QString lockUser(const QString &name);
// Every process of the user's ended (killed at once, so that none can start another meanwhile)
// and waited for; the problem, or empty.
QString endProcesses(const QString &name);
// The user's id, or -1.
long long userId(const QString &name);
} // namespace SiteUsers
