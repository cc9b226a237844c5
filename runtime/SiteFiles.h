// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A site's files and folders (Linux), owned by user:group (names; empty for root). Failures are
// errno values.
namespace SiteFiles {
bool exists(const QString &path); // a link counts, whatever it points to
int makeFolder(const QString &path, const QString &user, const QString &group, int mode);
// A new file, complete or not at all, never over one that is there.
int writeFile(const QString &path, const QString &text, const QString &user, const QString &group,
              int mode);
int makeLink(const QString &target, const QString &path);
// A file or link, or a folder with all it holds (links removed, never followed).
int remove(const QString &path);
} // namespace SiteFiles
