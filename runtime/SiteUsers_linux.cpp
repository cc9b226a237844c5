// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteUsers.h"

#include "ServerPrograms.h"
#include "SystemAccounts.h"

#include <grp.h>

using namespace Qt::StringLiterals;
using ServerPrograms::Run;
using ServerPrograms::run;

namespace SiteUsers {

bool userExists(const QString &name)
{
    return SystemAccounts::userExists(name);
}

bool groupExists(const QString &name)
{
    return getgrnam(name.toLocal8Bit().constData()) != nullptr;
}

QString addSystemUser(const QString &name)
{
    const Run r =
        run(u"useradd"_s, {u"--system"_s, u"--user-group"_s, u"--no-create-home"_s, u"--home-dir"_s,
                           u"/nonexistent"_s, u"--shell"_s, u"/usr/sbin/nologin"_s, name});
    return r.ok() ? QString() : r.output.trimmed();
}

QString removeUser(const QString &name)
{
    if (userExists(name)) {
        const Run r = run(u"userdel"_s, {name});
        if (!r.ok())
            return r.output.trimmed();
    }
    if (groupExists(name)) {
        const Run r = run(u"groupdel"_s, {name});
        if (!r.ok())
            return r.output.trimmed();
    }
    return {};
}

} // namespace SiteUsers
