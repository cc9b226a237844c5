// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileReplacement.h"

#include "NewFile.h"
#include "OpenedFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// What is not a regular file is never opened: a pipe would block, a device answer anything.
int regularFile(const struct stat &st)
{
    if (S_ISREG(st.st_mode))
        return 0;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    return S_ISLNK(st.st_mode) ? ELOOP : ESPIPE;
}

// Every extended attribute of `from` on `to`: an ACL (system.posix_acl_access) among them, which
// the web server's user may need to read the file.
int copyAttributes(int from, int to)
{
    const ssize_t size = flistxattr(from, nullptr, 0);
    if (size < 0)
        return errno == ENOTSUP ? 0 : errno;
    QByteArray names(size, '\0');
    const ssize_t got = flistxattr(from, names.data(), size_t(names.size()));
    if (got < 0)
        return errno;
    for (const QByteArray &name : names.left(got).split('\0')) {
        if (name.isEmpty())
            continue;
        const ssize_t length = fgetxattr(from, name.constData(), nullptr, 0);
        if (length < 0)
            return errno;
        QByteArray value(length, '\0');
        const ssize_t read = fgetxattr(from, name.constData(), value.data(), size_t(value.size()));
        if (read < 0 || fsetxattr(to, name.constData(), value.constData(), size_t(read), 0) != 0)
            return errno;
    }
    return 0;
}

// The whole file, or EFBIG past `limit` bytes (negative: none).
int readAll(int fd, QByteArray &bytes, qint64 limit)
{
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        bytes.append(buffer, n);
        if (limit >= 0 && bytes.size() > limit) {
            bytes.clear();
            return EFBIG;
        }
    }
}

QString pathOf(int folder)
{
    char path[PATH_MAX];
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(folder);
    const ssize_t n = readlink(self.constData(), path, sizeof path);
    return n > 0 ? QFile::decodeName(QByteArray(path, n)) : QString();
}

bool writtenOnlyByOwner(const struct stat &st)
{
    return st.st_uid == geteuid() && !(st.st_mode & (S_IWGRP | S_IWOTH));
}
} // namespace

FileReplacement::FileReplacement(QString path, QString lockFolder, qint64 maxSize)
    : m_path(std::move(path)), m_lockFolder(std::move(lockFolder)), m_maxSize(maxSize)
{
}

FileReplacement::~FileReplacement()
{
    for (int fd : {m_fd, m_folder, m_lock})
        if (fd >= 0)
            ::close(fd);
}

int FileReplacement::open()
{
    OpenedFolder folder;
    if (const int error = folder.openParent(m_path, m_name, true))
        return error;
    m_folder = dup(folder.descriptor());
    if (m_folder < 0)
        return errno;
    const QString where = pathOf(m_folder);
    m_target = where + u'/' + QFile::decodeName(m_name);
    m_copyName = '.' + m_name + ".sitepass-rotate";
    m_copy = where + u'/' + QFile::decodeName(m_copyName);
    struct stat st;
    if (fstatat(m_folder, m_name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (const int error = regularFile(st))
        return error;
    m_fd = openat(m_folder, m_name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (m_fd < 0)
        return errno;
    if (fstat(m_fd, &st) != 0)
        return errno;
    if (const int error = regularFile(st))
        return error;
    // Another name would keep the old contents when this one gets the new; the copy's own
    // name, planted as a link, is no journal and goes (readCopy() says EEXIST).
    struct stat copy;
    const bool copyIsFile =
        fstatat(m_folder, m_copyName.constData(), &copy, AT_SYMLINK_NOFOLLOW) == 0 &&
        copy.st_dev == st.st_dev && copy.st_ino == st.st_ino;
    if (st.st_nlink > (copyIsFile ? 2u : 1u))
        return EMLINK;
    // Two runs on one file would each believe the other's copy to be a journal. The lock is
    // the folder's and the name's, in a folder of the caller's: one on the file itself could be
    // held by anyone who may read it, for as long as they like.
    if (m_lockFolder.isEmpty()) {
        if (flock(m_fd, LOCK_EX | LOCK_NB) != 0)
            return errno;
    } else {
        struct stat at;
        if (fstat(m_folder, &at) != 0)
            return errno;
        OpenedFolder locks;
        if (const int error = locks.openMade(m_lockFolder, 0700))
            return error;
        const QByteArray name =
            QByteArray::number(qulonglong(at.st_dev), 16) + '-' +
            QByteArray::number(qulonglong(at.st_ino), 16) + '-' +
            QCryptographicHash::hash(m_name, QCryptographicHash::Sha256).toHex().left(32) + ".lock";
        m_lock = openat(locks.descriptor(), name.constData(),
                        O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (m_lock < 0)
            return errno;
        if (flock(m_lock, LOCK_EX | LOCK_NB) != 0)
            return errno;
    }
    return readAll(m_fd, m_contents, m_maxSize);
}

bool FileReplacement::hasCopy() const
{
    struct stat st;
    return fstatat(m_folder, m_copyName.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

int FileReplacement::readCopy(QByteArray &bytes) const
{
    struct stat copy, file;
    if (fstatat(m_folder, m_copyName.constData(), &copy, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (const int error = regularFile(copy))
        return error;
    const int fd =
        openat(m_folder, m_copyName.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno;
    // Only a copy this tool could have written: one that someone else put there would take the
    // file's place with their contents.
    int error = fstat(fd, &copy) == 0 && fstat(m_fd, &file) == 0 ? 0 : errno;
    if (!error)
        error = regularFile(copy);
    if (!error && copy.st_dev == file.st_dev && copy.st_ino == file.st_ino)
        error = EEXIST;
    if (!error &&
        (copy.st_uid != file.st_uid || copy.st_gid != file.st_gid || copy.st_mode != file.st_mode))
        error = EPERM;
    if (!error)
        error = readAll(fd, bytes, m_maxSize);
    ::close(fd);
    return error;
}

bool FileReplacement::copyIsCallers() const
{
    struct stat copy, file;
    return fstatat(m_folder, m_copyName.constData(), &copy, AT_SYMLINK_NOFOLLOW) == 0 &&
           fstat(m_fd, &file) == 0 && writtenOnlyByOwner(copy) && writtenOnlyByOwner(file);
}

int FileReplacement::writeCopy(const QByteArray &bytes)
{
    struct stat st;
    if (fstat(m_fd, &st) != 0)
        return errno;
    // Unnamed (or under a temporary name) while it is written, readable by no one else; the
    // file's owner, group, mode and attributes before it holds anything; the copy's name only
    // once it is whole and on disk, in the folder opened.
    NewFile copy(m_folder, m_copyName);
    if (const int error = copy.open())
        return error;
    const int fd = copy.descriptor();
    int error = 0;
    if (fchown(fd, st.st_uid, st.st_gid) != 0 || fchmod(fd, st.st_mode & 07777) != 0)
        error = errno;
    if (!error)
        error = copyAttributes(m_fd, fd);
    for (qsizetype done = 0; !error && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            error = n < 0 ? errno : EIO;
        else
            done += n;
    }
    if (error)
        return error; // the unnamed file goes with `copy`
    if ((error = copy.commit()) != 0)
        return error;
    if ((error = syncFolder()) != 0)
        unlinkat(m_folder, m_copyName.constData(), 0);
    return error;
}

int FileReplacement::commit()
{
    const int fd =
        openat(m_folder, m_copyName.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno;
    // Without a lock folder the lock moves to the file's new contents with its name: another
    // run must not start on them while this one still proves or sets back.
    if ((m_lockFolder.isEmpty() && flock(fd, LOCK_EX | LOCK_NB) != 0) ||
        renameat(m_folder, m_copyName.constData(), m_folder, m_name.constData()) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    ::close(m_fd);
    m_fd = fd;
    return 0;
}

int FileReplacement::syncFolder() const
{
    return fsync(m_folder) == 0 ? 0 : errno;
}

int FileReplacement::discardCopy()
{
    if (unlinkat(m_folder, m_copyName.constData(), 0) != 0 && errno != ENOENT)
        return errno;
    return syncFolder();
}
