// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>

// A file that appears under its name only when it is complete, and never over a name that is
// there (a link included). It is written unnamed (Linux: O_TMPFILE) or under a temporary name
// marked for deletion (Windows), so whatever ends the process before commit() leaves nothing.
// On Linux its folder is opened once (OpenedFolder) and the file made relative to it: a link
// another user put in the path is refused (ELOOP, OpenedFolder::otherUsersFolder).
// Failures are errno values (EEXIST: the name is taken), so callers word them one way.
class NewFile
{
public:
    // How the file is written before it takes its name. Linux writes it unnamed where the file
    // system can, and falls back to a hidden temporary beside the target; Windows always uses
    // one. Temporary asks for the fallback, so that it is tried where O_TMPFILE works too.
    enum class Naming { Unnamed, Temporary };

    // Readable by the owner alone, or also by `group` (a group name; Linux only).
    explicit NewFile(QString path, QString group = {}, Naming naming = Naming::Unnamed);
#ifndef Q_OS_WIN
    // `name` in a folder already opened (its descriptor is the caller's and stays open).
    NewFile(int folder, QByteArray name);
#endif
    ~NewFile();
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;

    // 0, or why the file cannot be made. ENOENT for the group: no such group.
    int open();
    QIODevice &device()
    {
        return m_file;
    }
    // The open file's descriptor (Linux), to give it attributes before it is written.
    int descriptor() const
    {
        return m_file.handle();
    }
    // Puts the written file in place: 0, or the errno of the failure (the file is discarded).
    int commit();

    // errno values that only this class reports.
    static constexpr int noSuchGroup = -1;

private:
    void discard();

    QString m_path, m_group;
    Naming m_naming;
    QFile m_file;
    int m_fd = -1;
    [[maybe_unused]] int m_folder = -1;        // Linux: the folder, opened once
    QByteArray m_name;                         // Linux: the name in it
    [[maybe_unused]] void *m_handle = nullptr; // Windows
    QString m_temporary; // a named temporary where the system has no unnamed files
};
