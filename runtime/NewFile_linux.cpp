// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "NewFile.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

NewFile::NewFile(QString path, QString group, Naming naming)
    : m_path(std::move(path)), m_group(std::move(group)), m_naming(naming)
{
}

NewFile::~NewFile()
{
    discard();
}

int NewFile::open()
{
    struct stat st;
    if (lstat(QFile::encodeName(m_path).constData(), &st) == 0)
        return EEXIST;
    gid_t gid = gid_t(-1);
    if (!m_group.isEmpty()) {
        const group *g = getgrnam(m_group.toLocal8Bit().constData());
        if (!g)
            return noSuchGroup;
        gid = g->gr_gid;
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());
    if (m_naming == Naming::Unnamed)
        m_fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    else
        errno = EOPNOTSUPP;
    if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: a hidden temporary beside the target.
        const QFileInfo target(m_path);
        m_temporary = target.absolutePath() + u"/."_s + target.fileName() + u'.' +
                      QString::number(QRandomGenerator::system()->generate64(), 36);
        m_fd = ::open(QFile::encodeName(m_temporary).constData(),
                      O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd < 0)
            m_temporary.clear();
    }
    if (m_fd < 0)
        return errno;
    // The group before the mode: the file is never readable by a group it was not meant for.
    if (gid != gid_t(-1) && (fchown(m_fd, uid_t(-1), gid) != 0 || fchmod(m_fd, 0640) != 0)) {
        const int error = errno;
        discard();
        return error;
    }
    m_file.open(m_fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
    return 0;
}

int NewFile::commit()
{
    if (fsync(m_fd) != 0) {
        const int error = errno;
        discard();
        return error;
    }
    const QByteArray target = QFile::encodeName(m_path);
    int status;
    if (m_temporary.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        status =
            linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW);
        if (status != 0 && errno == ENOENT && access("/proc/self/fd", F_OK) != 0)
            status = linkat(m_fd, "", AT_FDCWD, target.constData(), AT_EMPTY_PATH);
    } else {
        // link() fails where the name exists, as rename() would not.
        status = link(QFile::encodeName(m_temporary).constData(), target.constData());
    }
    const int error = status == 0 ? 0 : errno;
    discard(); // the name now holds the file; the descriptor and any temporary go
    return error;
}

void NewFile::discard()
{
    m_file.close();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.isEmpty())
        unlink(QFile::encodeName(m_temporary).constData());
    m_temporary.clear();
}
