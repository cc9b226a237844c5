// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <sys/types.h>

// A site's files and folders (Linux), owned by user:group (names; empty for root). Every path is
// opened one folder at a time (OpenedFolder) and worked on relative to it, since the site's user
// may swap any folder of its own for a link while root works there. Failures are errno values.
namespace SiteFiles {
bool exists(const QString &path); // a link counts, whatever it points to
int makeFolder(const QString &path, const QString &user, const QString &group, int mode);
// A new file, complete or not at all, never over one that is there.
int writeFile(const QString &path, const QString &text, const QString &user, const QString &group,
              int mode);
// An empty file where none is, or the regular file there given this owner and mode.
int prepareFile(const QString &path, const QString &user, const QString &group, int mode);
int makeLink(const QString &target, const QString &path);
// What the folder `from` holds (a folder of root's or the caller's that no one else may write,
// else EPERM; its links followed) copied into the folder `to`, every file and folder user:group
// with these modes, a file there replaced; the names in `skip` at the top left out.
int copyTree(const QString &from, const QString &to, const QString &user, const QString &group,
             int fileMode, int folderMode, const QStringList &skip);
// A file or link, or a folder with all it holds: links removed, never followed; nothing on
// another file system. ELOOP: a folder in the path is a link that is not followed.
int remove(const QString &path);
// Whatever `uid` owns in `folder` and below it (on that file system, a bounded number of
// entries), removed; what was removed is added to `removed`.
int removeOwnedBy(const QString &folder, uid_t uid, QStringList &removed);
} // namespace SiteFiles
