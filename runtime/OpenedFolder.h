// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// A folder opened once, one name at a time from "/", so that everything after works relative to
// its descriptor and never through the path again (Linux). A site's user owns its folders and
// may swap any of them for a link at any moment: a link is followed only where nobody but root
// (or the caller) could have made or changed it, and a chain that passes from one user's folders
// into another's is refused. Failures are errno values: ELOOP for a link not followed, and
// otherUsersFolder.
class OpenedFolder
{
public:
    OpenedFolder() = default;
    ~OpenedFolder();
    OpenedFolder(OpenedFolder &&other) noexcept;
    OpenedFolder &operator=(OpenedFolder &&other) noexcept;
    OpenedFolder(const OpenedFolder &) = delete;
    OpenedFolder &operator=(const OpenedFolder &) = delete;

    // The folder at `path`.
    int open(const QString &path);
    // The folder that holds `path`, and the last name in it. With `followLast`, a last name that
    // is a link is followed under the same rule as the folders' (and the folder and name are
    // those of its target).
    int openParent(const QString &path, QByteArray &name, bool followLast = false);
    // The folder at `path`, each missing folder on the way made with `mode` in its parent's
    // descriptor.
    int openMade(const QString &path, int mode);

    int descriptor() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

    // A folder of one user below a folder of another (neither root nor the caller).
    static constexpr int otherUsersFolder = -2;

private:
    int walk(const QString &path, bool keepLast, bool followLast, QByteArray &last);
    void reset(int fd = -1);

    int m_fd = -1;
};
