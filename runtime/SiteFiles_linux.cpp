// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteFiles.h"

#include "NewFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SiteFiles {

namespace {
QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

int owner(const QString &user, const QString &group, uid_t &uid, gid_t &gid)
{
    uid = 0;
    gid = 0;
    if (!user.isEmpty()) {
        const passwd *p = getpwnam(user.toLocal8Bit().constData());
        if (!p)
            return ENOENT;
        uid = p->pw_uid;
    }
    if (!group.isEmpty()) {
        const struct group *g = getgrnam(group.toLocal8Bit().constData());
        if (!g)
            return ENOENT;
        gid = g->gr_gid;
    }
    return 0;
}
} // namespace

bool exists(const QString &path)
{
    struct stat st;
    return lstat(encoded(path).constData(), &st) == 0;
}

int makeFolder(const QString &path, const QString &user, const QString &group, int mode)
{
    uid_t uid;
    gid_t gid;
    if (const int error = owner(user, group, uid, gid))
        return error;
    const QByteArray name = encoded(path);
    if (mkdir(name.constData(), 0700) != 0)
        return errno;
    if (chown(name.constData(), uid, gid) != 0 || chmod(name.constData(), mode_t(mode)) != 0)
        return errno;
    return 0;
}

int writeFile(const QString &path, const QString &text, const QString &user, const QString &group,
              int mode)
{
    uid_t uid;
    gid_t gid;
    if (const int error = owner(user, group, uid, gid))
        return error;
    NewFile file(path);
    if (const int error = file.open())
        return error;
    if (fchown(file.descriptor(), uid, gid) != 0 || fchmod(file.descriptor(), mode_t(mode)) != 0)
        return errno;
    const QByteArray bytes = text.toUtf8();
    if (file.device().write(bytes) != bytes.size())
        return EIO;
    return file.commit();
}

int makeLink(const QString &target, const QString &path)
{
    return symlink(encoded(target).constData(), encoded(path).constData()) == 0 ? 0 : errno;
}

int remove(const QString &path)
{
    const QFileInfo info(path);
    if (!exists(path))
        return 0;
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively() ? 0 : EIO;
    return unlink(encoded(path).constData()) == 0 ? 0 : errno;
}

} // namespace SiteFiles
