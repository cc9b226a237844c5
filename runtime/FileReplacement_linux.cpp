// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileReplacement.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// The folder's entries on disk: a new name, a removed one, a rename.
int syncFolder(const QString &file)
{
    const int fd = ::open(encoded(QFileInfo(file).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
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
    m_fd = ::open(resolved, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (m_fd < 0)
        return errno;
    struct stat st;
    if (fstat(m_fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EISDIR;
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
    const int fd = ::open(encoded(m_copy).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    // Only a copy this tool could have written: one that someone else put there would take the
    // file's place with their contents.
    struct stat copy, file;
    int error = fstat(fd, &copy) == 0 && fstat(m_fd, &file) == 0 ? 0 : errno;
    if (!error && (!S_ISREG(copy.st_mode) || copy.st_uid != file.st_uid ||
                   copy.st_gid != file.st_gid || copy.st_mode != file.st_mode))
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
    // Readable by no one else while it is written; the file's owner, group and mode before it
    // holds anything.
    const int fd = ::open(encoded(m_copy).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return errno;
    int error = 0;
    if (fchown(fd, st.st_uid, st.st_gid) != 0 || fchmod(fd, st.st_mode & 07777) != 0)
        error = errno;
    for (qsizetype done = 0; !error && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            error = n < 0 ? errno : EIO;
        else
            done += n;
    }
    if (!error && fsync(fd) != 0)
        error = errno;
    ::close(fd);
    if (!error)
        error = syncFolder(m_copy);
    if (error)
        unlink(encoded(m_copy).constData());
    return error;
}

int FileReplacement::commit()
{
    if (rename(encoded(m_copy).constData(), encoded(m_target).constData()) != 0)
        return errno;
    return syncFolder(m_target);
}

int FileReplacement::discardCopy()
{
    if (unlink(encoded(m_copy).constData()) != 0 && errno != ENOENT)
        return errno;
    return syncFolder(m_copy);
}
