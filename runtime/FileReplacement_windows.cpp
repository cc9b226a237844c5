// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileReplacement.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <windows.h>

using namespace Qt::StringLiterals;

// Windows keeps the vault's file: the copy is written whole, flushed to the disk, and moved
// over the file in one step. rotate, which changes a server's files, runs on Linux only.
FileReplacement::FileReplacement(QString path, QString lockFolder, qint64 maxSize)
    : m_path(std::move(path)), m_lockFolder(std::move(lockFolder)), m_maxSize(maxSize)
{
}
FileReplacement::~FileReplacement() = default;

namespace {
int readFile(const QString &path, QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.error() == QFileDevice::OpenError && !file.exists() ? ENOENT : EACCES;
    bytes = file.readAll();
    return 0;
}
} // namespace

int FileReplacement::open()
{
    const QFileInfo file(m_path);
    if (!file.exists())
        return ENOENT;
    if (!file.isFile())
        return ESPIPE;
    if (m_maxSize >= 0 && file.size() > m_maxSize)
        return EFBIG;
    m_target = file.canonicalFilePath();
    m_copy = file.absolutePath() + u"/."_s + file.fileName() + u".sitepass-rotate"_s;
    return readFile(m_target, m_contents);
}

bool FileReplacement::hasCopy() const
{
    return QFileInfo::exists(m_copy);
}

int FileReplacement::readCopy(QByteArray &bytes) const
{
    return readFile(m_copy, bytes);
}

bool FileReplacement::copyIsCallers() const
{
    return true; // a user's own profile folder
}

int FileReplacement::writeCopy(const QByteArray &bytes)
{
    if (hasCopy())
        return EEXIST;
    const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(m_copy.utf16()), GENERIC_WRITE,
                                 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
    DWORD written = 0;
    const bool ok = WriteFile(h, bytes.constData(), DWORD(bytes.size()), &written, nullptr) &&
                    written == DWORD(bytes.size()) && FlushFileBuffers(h);
    CloseHandle(h);
    if (!ok) {
        QFile::remove(m_copy);
        return ENOSPC;
    }
    return 0;
}

int FileReplacement::commit()
{
    return MoveFileExW(reinterpret_cast<const wchar_t *>(m_copy.utf16()),
                       reinterpret_cast<const wchar_t *>(m_target.utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : EACCES;
}

int FileReplacement::syncFolder() const
{
    return 0;
}

int FileReplacement::discardCopy()
{
    return !hasCopy() || QFile::remove(m_copy) ? 0 : EACCES;
}
