// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteUsers.h"

#include "ServerPrograms.h"
#include "SystemAccounts.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

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

QString lockUser(const QString &name)
{
    if (!userExists(name))
        return {};
    const Run r = run(u"usermod"_s, {u"--lock"_s, u"--expiredate"_s, u"1"_s, name});
    return r.ok() ? QString() : r.output.trimmed();
}

long long userId(const QString &name)
{
    const passwd *p = getpwnam(name.toLocal8Bit().constData());
    return p ? (long long)p->pw_uid : -1;
}

namespace {
// Processes whose real or effective user is `uid`.
int processesOf(uid_t uid)
{
    int found = 0;
    for (const QString &pid : QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!pid.at(0).isDigit())
            continue;
        QFile status(u"/proc/"_s + pid + u"/status"_s);
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("State:") && line.contains("Z (zombie)")) {
                break; // gone, waiting for its parent
            } else if (line.startsWith("Uid:")) {
                const QList<QByteArray> ids = line.mid(4).simplified().split(' ');
                if (ids.value(0).toUInt() == uid || ids.value(1).toUInt() == uid)
                    ++found;
                break;
            }
    }
    return found;
}
} // namespace

QString endProcesses(const QString &name)
{
    const passwd *p = getpwnam(name.toLocal8Bit().constData());
    if (!p || p->pw_uid == 0)
        return {};
    const uid_t uid = p->pw_uid;
    const gid_t gid = p->pw_gid;
    for (int round = 0; round < 50; ++round) {
        if (processesOf(uid) == 0)
            return {};
        // kill(-1) as the user reaches every process of its own in one pass that no fork
        // escapes; root's own kill would have to find them one by one.
        const pid_t child = fork();
        if (child == 0) {
            if (setgroups(0, nullptr) == 0 && setgid(gid) == 0 && setuid(uid) == 0)
                kill(-1, SIGKILL);
            _exit(0);
        }
        if (child < 0)
            return QString::fromLocal8Bit(strerror(errno));
        waitpid(child, nullptr, 0);
        QThread::msleep(round == 0 ? 20 : 100);
    }
    return u"用户 %1 的进程结束不了"_s.arg(name);
}

} // namespace SiteUsers
