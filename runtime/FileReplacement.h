// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// A file replaced in one step by a complete copy written beside it first, under a fixed name
// that it takes only when complete: the copy left by a run that was killed is that run's
// journal. On Linux the folder is opened once and every step after works relative to it; a link
// is followed only where no one but root (or the caller) could have made it (OpenedFolder), and
// the file reached through it is the one replaced, the link staying. Failures are errno values
// (Windows: ENOSYS), and these of its own: ESPIPE for what is no regular file (a pipe, a device,
// a socket), ELOOP for a link not followed, EMLINK for a file with more than one name, EFBIG for
// one over `maxSize` bytes.
class FileReplacement
{
public:
    // `lockFolder`: where the run's lock is taken, a folder only the caller may write; empty:
    // the file itself is locked, which anyone who may read it can hold.
    explicit FileReplacement(QString path, QString lockFolder = {}, qint64 maxSize = -1);
    ~FileReplacement();
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;

    // Finds the file behind any links, takes it for this process alone (EWOULDBLOCK: another
    // run has it) and reads it. Nothing that is not a regular file with one name is opened in a
    // way that could block, nor read.
    int open();
    const QByteArray &contents() const { return m_contents; }
    QString target() const { return m_target; }
    QString copyPath() const { return m_copy; }

    // The copy beside the file: whether it is there, and what it holds.
    bool hasCopy() const;
    // EPERM: not a copy this class wrote (another owner, group or mode than the file's);
    // EEXIST: the file itself under a second name.
    int readCopy(QByteArray &bytes) const;
    // Whether the file and its copy are the caller's own and written by no one else, so that
    // nobody else could have made the copy a journal.
    bool copyIsCallers() const;
    // A new copy with the file's owner, group, mode and extended attributes (its ACL among
    // them), on disk (file and folder synced) under the copy's name when this returns 0, and
    // nowhere otherwise. EEXIST: a copy is there.
    int writeCopy(const QByteArray &bytes);
    // The copy takes the file's place, in one step: the rename alone, undone by nothing.
    int commit();
    // The folder's entries on disk, after commit().
    int syncFolder() const;
    int discardCopy();

private:
    QString m_path, m_target, m_copy, m_lockFolder;
    qint64 m_maxSize;
    QByteArray m_contents;
    [[maybe_unused]] QByteArray m_name, m_copyName;  // Linux: the names in the folder
    int m_fd = -1;                                   // the file, held locked
    [[maybe_unused]] int m_folder = -1, m_lock = -1; // Linux
};
