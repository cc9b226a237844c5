// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "NewFile.h"

#include "OpenedFolder.h"

#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

NewFile::NewFile(QString path, QString group, Naming naming)
    : m_path(std::move(path)), m_group(std::move(group)), m_naming(naming)
{
}

NewFile::NewFile(int folder, QByteArray name)
    : m_naming(Naming::Unnamed), m_folder(dup(folder)), m_name(std::move(name))
{
}

NewFile::~NewFile()
{
    discard();
    if (m_folder >= 0)
        ::close(m_folder);
}

int NewFile::open()
{
    // The folder once, never through its path again: a link swapped in later changes nothing.
    if (m_folder < 0) {
        OpenedFolder folder;
        if (const int error = folder.openParent(m_path, m_name))
            return error;
        m_folder = dup(folder.descriptor());
    }
    if (m_folder < 0)
        return errno;
    struct stat st;
    if (fstatat(m_folder, m_name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    gid_t gid = gid_t(-1);
    if (!m_group.isEmpty()) {
        const group *g = getgrnam(m_group.toLocal8Bit().constData());
        if (!g)
            return noSuchGroup;
        gid = g->gr_gid;
    }
    if (m_naming == Naming::Unnamed)
        m_fd = openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    else
        errno = EOPNOTSUPP;
    if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: a hidden temporary beside the target.
        m_temporary = QFile::decodeName("." + m_name + '.') +
                      QString::number(QRandomGenerator::system()->generate64(), 36);
        m_fd = openat(m_folder, QFile::encodeName(m_temporary).constData(),
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
    int status;
    if (m_temporary.isEmpty()) {
        // AT_EMPTY_PATH needs CAP_DAC_READ_SEARCH; /proc's name for the descriptor does not.
        status = linkat(m_fd, "", m_folder, m_name.constData(), AT_EMPTY_PATH);
        if (status != 0 && (errno == ENOENT || errno == EPERM)) {
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
            status =
                linkat(AT_FDCWD, self.constData(), m_folder, m_name.constData(), AT_SYMLINK_FOLLOW);
        }
    } else {
        // link() fails where the name exists, as rename() would not.
        status = linkat(m_folder, QFile::encodeName(m_temporary).constData(), m_folder,
                        m_name.constData(), 0);
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
    if (!m_temporary.isEmpty() && m_folder >= 0)
        unlinkat(m_folder, QFile::encodeName(m_temporary).constData(), 0);
    m_temporary.clear();
}
