// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteFiles.h"

#include "NewFile.h"
#include "OpenedFolder.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SiteFiles {

namespace {
// Deeper than any real site; a tree made deeper to exhaust root's descriptors is refused.
constexpr int depthLimit = 256;
// The sweep of folders that every user may write stops here rather than run for hours.
constexpr int sweepLimit = 200000;

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

// `path`'s last name, opened by `open` in the folder that holds it (a descriptor, or -1 with
// errno), and given its owner and mode through that descriptor, never through the path.
int ownedAt(const QString &path, const QString &user, const QString &group, int mode,
            const std::function<int(int folder, const char *name)> &open)
{
    uid_t uid;
    gid_t gid;
    if (const int error = owner(user, group, uid, gid))
        return error;
    OpenedFolder parent;
    QByteArray name;
    if (const int error = parent.openParent(path, name))
        return error;
    const int fd = open(parent.descriptor(), name.constData());
    if (fd < 0)
        return errno;
    struct stat st;
    int error = fstat(fd, &st) == 0 ? 0 : errno;
    if (!error && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        error = ESPIPE;
    if (!error && (fchown(fd, uid, gid) != 0 || fchmod(fd, mode_t(mode)) != 0))
        error = errno;
    ::close(fd);
    return error;
}

// The names in an opened folder, read through a descriptor of its own.
int namesIn(int folder, QList<QByteArray> &names)
{
    names.clear();
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    DIR *dir = fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    errno = 0;
    while (const dirent *entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    const int error = errno;
    closedir(dir);
    return error;
}

// `name` in `folder`, and all it holds where it is a folder on the same file system.
int removeAt(int folder, const QByteArray &name, int depth)
{
    struct stat st, parent;
    if (fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 0 : errno;
    if (!S_ISDIR(st.st_mode))
        return unlinkat(folder, name.constData(), 0) == 0 || errno == ENOENT ? 0 : errno;
    if (depth > depthLimit)
        return ELOOP;
    if (fstat(folder, &parent) != 0)
        return errno;
    const int fd = openat(folder, name.constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) // swapped for a link or a file since: that is what goes
        return errno == ELOOP || errno == ENOTDIR ? removeAt(folder, name, depth + 1) : errno;
    struct stat opened;
    int error = fstat(fd, &opened) == 0 ? 0 : errno;
    // The folder that was looked at, and no mount point: another file system is not the site's.
    if (!error && (opened.st_dev != st.st_dev || opened.st_ino != st.st_ino))
        error = EAGAIN;
    if (!error && opened.st_dev != parent.st_dev)
        error = EXDEV;
    QList<QByteArray> names;
    if (!error)
        error = namesIn(fd, names);
    for (const QByteArray &child : names)
        if (!error)
            error = removeAt(fd, child, depth + 1);
    ::close(fd);
    if (error)
        return error;
    return unlinkat(folder, name.constData(), AT_REMOVEDIR) == 0 || errno == ENOENT ? 0 : errno;
}

int sweep(int folder, const QString &path, uid_t uid, QStringList &removed, int depth, int &budget)
{
    QList<QByteArray> names;
    if (const int error = namesIn(folder, names))
        return error;
    struct stat here;
    if (fstat(folder, &here) != 0)
        return errno;
    for (const QByteArray &name : names) {
        if (--budget < 0)
            return E2BIG;
        struct stat st;
        if (fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const QString child = path + u'/' + QFile::decodeName(name);
        if (st.st_uid == uid) {
            if (const int error = removeAt(folder, name, depth))
                return error;
            removed << child;
        } else if (S_ISDIR(st.st_mode) && st.st_dev == here.st_dev && depth < depthLimit) {
            const int fd = openat(folder, name.constData(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
            if (fd < 0)
                continue;
            const int error = sweep(fd, child, uid, removed, depth + 1, budget);
            ::close(fd);
            if (error)
                return error;
        }
    }
    return 0;
}
// Bytes from one descriptor to the other, whole.
int copyBytes(int in, int out)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : 0;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return w < 0 ? errno : EIO;
            done += w;
        }
    }
}

struct Copy
{
    uid_t uid;
    gid_t gid;
    int fileMode, folderMode;
    int budget = sweepLimit;
};

// What the folder `from` holds, into `to`: the source's links followed (it is root's), none
// made or followed in the destination, which the site's user owns.
int copyInto(int from, int to, Copy &c, const QList<QByteArray> &skip, int depth)
{
    QList<QByteArray> names;
    if (const int error = namesIn(from, names))
        return error;
    for (const QByteArray &name : names) {
        if (skip.contains(name))
            continue;
        if (--c.budget < 0)
            return E2BIG;
        struct stat st;
        if (fstatat(from, name.constData(), &st, 0) != 0) {
            if (errno == ENOENT)
                continue; // a link to what this machine does not have
            return errno;
        }
        int error = 0;
        if (S_ISDIR(st.st_mode)) {
            if (depth >= depthLimit)
                return ELOOP;
            if (mkdirat(to, name.constData(), 0700) != 0 && errno != EEXIST)
                return errno;
            const int in = openat(from, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            const int out =
                openat(to, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (in < 0 || out < 0)
                error = errno;
            else if (fchown(out, c.uid, c.gid) != 0 || fchmod(out, mode_t(c.folderMode)) != 0)
                error = errno;
            else
                error = copyInto(in, out, c, {}, depth + 1);
            if (in >= 0)
                ::close(in);
            if (out >= 0)
                ::close(out);
        } else if (S_ISREG(st.st_mode)) {
            if (unlinkat(to, name.constData(), 0) != 0 && errno != ENOENT)
                return errno;
            const int in = openat(from, name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            const int out = openat(to, name.constData(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (in < 0 || out < 0)
                error = errno;
            else if ((error = copyBytes(in, out)) == 0 &&
                     (fchown(out, c.uid, c.gid) != 0 || fchmod(out, mode_t(c.fileMode)) != 0))
                error = errno;
            if (in >= 0)
                ::close(in);
            if (out >= 0)
                ::close(out);
        } // devices, pipes and sockets are no part of an application
        if (error)
            return error;
    }
    return 0;
}
} // namespace

int copyTree(const QString &from, const QString &to, const QString &user, const QString &group,
             int fileMode, int folderMode, const QStringList &skip)
{
    Copy c{0, 0, fileMode, folderMode};
    if (const int error = owner(user, group, c.uid, c.gid))
        return error;
    OpenedFolder source, target;
    if (const int error = source.open(from))
        return error;
    struct stat st;
    if (fstat(source.descriptor(), &st) != 0)
        return errno;
    if ((st.st_uid != 0 && st.st_uid != geteuid()) || (st.st_mode & 022))
        return EPERM;
    if (const int error = target.open(to))
        return error;
    QList<QByteArray> names;
    for (const QString &name : skip)
        names << QFile::encodeName(name);
    return copyInto(source.descriptor(), target.descriptor(), c, names, 0);
}

bool exists(const QString &path)
{
    struct stat st;
    return lstat(QFile::encodeName(path).constData(), &st) == 0;
}

int makeFolder(const QString &path, const QString &user, const QString &group, int mode)
{
    return ownedAt(path, user, group, mode, [](int folder, const char *name) {
        return mkdirat(folder, name, 0700) == 0
                   ? openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                   : -1;
    });
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

int prepareFile(const QString &path, const QString &user, const QString &group, int mode)
{
    return ownedAt(path, user, group, mode, [](int folder, const char *name) {
        return openat(folder, name,
                      O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    });
}

int makeLink(const QString &target, const QString &path)
{
    OpenedFolder parent;
    QByteArray name;
    if (const int error = parent.openParent(path, name))
        return error;
    return symlinkat(QFile::encodeName(target).constData(), parent.descriptor(),
                     name.constData()) == 0
               ? 0
               : errno;
}

int remove(const QString &path)
{
    OpenedFolder parent;
    QByteArray name;
    if (const int error = parent.openParent(path, name))
        return error == ENOENT ? 0 : error;
    return removeAt(parent.descriptor(), name, 0);
}

int removeOwnedBy(const QString &folder, uid_t uid, QStringList &removed)
{
    OpenedFolder opened;
    if (const int error = opened.open(folder))
        return error == ENOENT ? 0 : error;
    int budget = sweepLimit;
    return sweep(opened.descriptor(), folder, uid, removed, 0, budget);
}

} // namespace SiteFiles
