// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenedFolder.h"

#include <QDir>

#include <QFile>
#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int linkLimit = 40; // the kernel's own

bool trustedOwner(uid_t uid)
{
    return uid == 0 || uid == geteuid();
}

// Nobody but root or the caller can add, swap or rename what the folder holds.
bool changedOnlyByTrusted(const struct stat &folder)
{
    return trustedOwner(folder.st_uid) && !((folder.st_mode & S_IWGRP) && folder.st_gid != 0) &&
           !(folder.st_mode & S_IWOTH);
}

bool onlyEmptyNames(const std::deque<QByteArray> &names)
{
    for (const QByteArray &name : names)
        if (!name.isEmpty() && name != ".")
            return false;
    return true;
}

struct Chain
{
    std::vector<int> fds;
    std::vector<uid_t> owners;
    ~Chain()
    {
        for (int fd : fds)
            ::close(fd);
    }
    void pop()
    {
        ::close(fds.back());
        fds.pop_back();
        owners.pop_back();
    }
    // One user's folders may hold another user's only if root or the caller stands between.
    bool accepts(uid_t owner) const
    {
        if (trustedOwner(owner))
            return true;
        for (uid_t above : owners)
            if (!trustedOwner(above))
                return above == owner;
        return true;
    }
};
} // namespace

OpenedFolder::~OpenedFolder()
{
    reset();
}

OpenedFolder::OpenedFolder(OpenedFolder &&other) noexcept : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

OpenedFolder &OpenedFolder::operator=(OpenedFolder &&other) noexcept
{
    if (this != &other) {
        reset(other.m_fd);
        other.m_fd = -1;
    }
    return *this;
}

void OpenedFolder::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int OpenedFolder::open(const QString &path)
{
    QByteArray unused;
    return walk(path, false, false, unused);
}

int OpenedFolder::openMade(const QString &path, int mode)
{
    if (const int error = open(path); error != ENOENT)
        return error;
    OpenedFolder parent;
    QByteArray name;
    int error = parent.openParent(path, name);
    if (error == ENOENT) {
        // Its parent made first, in the same way, one folder at a time down from what exists.
        const QString clean = QDir::cleanPath(path);
        const qsizetype slash = clean.lastIndexOf(u'/');
        if (slash > 0 && (error = parent.openMade(clean.left(slash), mode)) == 0)
            error = parent.openParent(clean, name);
    }
    if (error)
        return error;
    if (mkdirat(parent.m_fd, name.constData(), mode_t(mode)) != 0 && errno != EEXIST)
        return errno;
    return open(path);
}

int OpenedFolder::openParent(const QString &path, QByteArray &name, bool followLast)
{
    return walk(path, true, followLast, name);
}

int OpenedFolder::walk(const QString &path, bool keepLast, bool followLast, QByteArray &last)
{
    reset();
    last.clear();
    QByteArray full = QFile::encodeName(path);
    if (full.isEmpty())
        return ENOENT;
    if (!full.startsWith('/')) {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return errno;
        full = QByteArray(cwd) + '/' + full;
    }
    std::deque<QByteArray> pending;
    for (const QByteArray &name : full.split('/'))
        pending.push_back(name);

    Chain chain;
    const int root = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0)
        return errno;
    chain.fds.push_back(root);
    chain.owners.push_back(0);
    int links = 0;
    bool haveLast = false;
    while (!pending.empty()) {
        const QByteArray name = pending.front();
        pending.pop_front();
        if (name.isEmpty() || name == ".")
            continue;
        if (name == "..") {
            if (chain.fds.size() > 1)
                chain.pop();
            continue;
        }
        const bool isLast = onlyEmptyNames(pending);
        if (isLast && keepLast && !followLast) {
            last = name;
            haveLast = true;
            break;
        }
        const int fd = openat(chain.fds.back(), name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            if (isLast && keepLast && errno == ENOENT) {
                last = name;
                haveLast = true;
                break;
            }
            return errno;
        }
        struct stat st;
        if (fstat(fd, &st) != 0) {
            const int error = errno;
            ::close(fd);
            return error;
        }
        if (S_ISLNK(st.st_mode)) {
            struct stat folder;
            char target[PATH_MAX];
            const ssize_t length = fstat(chain.fds.back(), &folder) == 0 &&
                                           trustedOwner(st.st_uid) &&
                                           changedOnlyByTrusted(folder) && ++links <= linkLimit
                                       ? readlinkat(fd, "", target, sizeof target)
                                       : -1;
            ::close(fd);
            if (length <= 0)
                return ELOOP;
            const QByteArray to(target, length);
            if (to.startsWith('/'))
                while (chain.fds.size() > 1)
                    chain.pop();
            const QList<QByteArray> names = to.split('/');
            for (auto it = names.crbegin(); it != names.crend(); ++it)
                pending.push_front(*it);
            continue;
        }
        if (isLast && keepLast) {
            ::close(fd);
            last = name;
            haveLast = true;
            break;
        }
        if (!S_ISDIR(st.st_mode)) {
            ::close(fd);
            return ENOTDIR;
        }
        if (!chain.accepts(st.st_uid)) {
            ::close(fd);
            return otherUsersFolder;
        }
        // Readable where it can be (a folder is synced through it); searchable is enough else.
        int folder = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0)
            ::close(fd);
        else if (errno == EACCES)
            folder = fd;
        else {
            const int error = errno;
            ::close(fd);
            return error;
        }
        chain.fds.push_back(folder);
        chain.owners.push_back(st.st_uid);
    }
    if (keepLast && !haveLast)
        return EISDIR;
    m_fd = chain.fds.back();
    chain.fds.pop_back();
    chain.owners.pop_back();
    return 0;
}
