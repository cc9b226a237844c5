// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// A file replaced in one step by a complete copy written beside it first, under a fixed name:
// the copy left by a run that was killed is that run's journal. The file reached through a link
// is the one replaced; the link stays. Failures are errno values (Windows: ENOSYS).
class FileReplacement
{
public:
    explicit FileReplacement(QString path);
    ~FileReplacement();
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;

    // Finds the file behind any links, takes it for this process alone (EWOULDBLOCK: another
    // run has it) and reads it.
    int open();
    const QByteArray &contents() const { return m_contents; }
    QString target() const { return m_target; }
    QString copyPath() const { return m_copy; }

    // The copy beside the file: whether it is there, and what it holds.
    bool hasCopy() const;
    // EPERM: not a copy this class wrote (another owner, group or mode than the file's).
    int readCopy(QByteArray &bytes) const;
    // A new copy with the file's owner, group and mode, on disk (file and folder synced) when
    // this returns 0. EEXIST: a copy is there.
    int writeCopy(const QByteArray &bytes);
    // The copy takes the file's place, in one step.
    int commit();
    int discardCopy();

private:
    QString m_path, m_target, m_copy;
    QByteArray m_contents;
    int m_fd = -1; // the file, held locked
};
