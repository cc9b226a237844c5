// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileReplacement.h"

#include "NewFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// The folder's entries on disk: a new name, a removed one, a rename.
int syncFolderOf(const QString &file)
{
    const int fd = ::open(encoded(QFileInfo(file).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

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

int readAll(int fd, QByteArray &bytes)
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
    }
}
} // namespace

FileReplacement::FileReplacement(QString path) : m_path(std::move(path)) {}

FileReplacement::~FileReplacement()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int FileReplacement::open()
{
    char resolved[PATH_MAX];
    if (!realpath(encoded(m_path).constData(), resolved))
        return errno;
    m_target = QFile::decodeName(resolved);
    const QFileInfo target(m_target);
    m_copy = target.absolutePath() + u"/."_s + target.fileName() + u".sitepass-rotate"_s;
    struct stat st;
    if (stat(resolved, &st) != 0)
        return errno;
    if (const int error = regularFile(st))
        return error;
    m_fd = ::open(resolved, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (m_fd < 0)
        return errno;
    if (fstat(m_fd, &st) != 0)
        return errno;
    if (const int error = regularFile(st))
        return error;
    // Another name would keep the old contents when this one gets the new; the copy's own
    // name, planted as a link, is no journal and goes (readCopy() says EEXIST).
    struct stat copy;
    const bool copyIsFile = lstat(encoded(m_copy).constData(), &copy) == 0 &&
                            copy.st_dev == st.st_dev && copy.st_ino == st.st_ino;
    if (st.st_nlink > (copyIsFile ? 2u : 1u))
        return EMLINK;
    // Two runs on one file would each believe the other's copy to be a journal.
    if (flock(m_fd, LOCK_EX | LOCK_NB) != 0)
        return errno;
    return readAll(m_fd, m_contents);
}

bool FileReplacement::hasCopy() const
{
    struct stat st;
    return lstat(encoded(m_copy).constData(), &st) == 0;
}

int FileReplacement::readCopy(QByteArray &bytes) const
{
    struct stat copy, file;
    if (lstat(encoded(m_copy).constData(), &copy) != 0)
        return errno;
    if (const int error = regularFile(copy))
        return error;
    const int fd =
        ::open(encoded(m_copy).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
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
        error = readAll(fd, bytes);
    ::close(fd);
    return error;
}

int FileReplacement::writeCopy(const QByteArray &bytes)
{
    struct stat st;
    if (fstat(m_fd, &st) != 0)
        return errno;
    // Unnamed (or under a temporary name) while it is written, readable by no one else; the
    // file's owner, group, mode and attributes before it holds anything; the copy's name only
    // once it is whole and on disk.
    NewFile copy(m_copy);
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
    if ((error = syncFolderOf(m_copy)) != 0)
        unlink(encoded(m_copy).constData());
    return error;
}

int FileReplacement::commit()
{
    // The lock moves to the file's new contents with its name: another run must not start on
    // them while this one still proves or sets back.
    const int fd =
        ::open(encoded(m_copy).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        rename(encoded(m_copy).constData(), encoded(m_target).constData()) != 0) {
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
    return syncFolderOf(m_target);
}

int FileReplacement::discardCopy()
{
    if (unlink(encoded(m_copy).constData()) != 0 && errno != ENOENT)
        return errno;
    return syncFolderOf(m_copy);
}
