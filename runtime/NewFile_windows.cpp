// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "NewFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

using namespace Qt::StringLiterals;

namespace {
int errnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}

bool markForDeletion(HANDLE handle, bool remove)
{
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = remove;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof info);
}

std::wstring native(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
}
} // namespace

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
    if (!m_group.isEmpty())
        return noSuchGroup; // Windows files have no POSIX group
    if (GetFileAttributesW(native(m_path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return EEXIST;
    const QFileInfo target(m_path);
    m_temporary = target.absolutePath() + u"/."_s + target.fileName() + u'.' +
                  QString::number(QRandomGenerator::system()->generate64(), 36);
    HANDLE handle = CreateFileW(native(m_temporary).c_str(), GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_temporary.clear();
        return errnoOf(GetLastError());
    }
    m_handle = handle;
    // Deleted when the last handle closes, which the system does for a killed process too.
    if (!markForDeletion(handle, true)) {
        const int error = errnoOf(GetLastError());
        discard();
        return error;
    }
    m_fd = _open_osfhandle(intptr_t(handle), _O_WRONLY | _O_BINARY);
    if (m_fd < 0) {
        discard();
        return EIO;
    }
    m_file.open(m_fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
    return 0;
}

int NewFile::commit()
{
    HANDLE handle = HANDLE(m_handle);
    if (!FlushFileBuffers(handle) || !markForDeletion(handle, false)) {
        const int error = errnoOf(GetLastError());
        discard();
        return error;
    }
    // Moved while still open, without replacing a file that took the name meanwhile.
    if (!MoveFileExW(native(m_temporary).c_str(), native(m_path).c_str(), MOVEFILE_WRITE_THROUGH)) {
        const int error = errnoOf(GetLastError());
        markForDeletion(handle, true);
        discard();
        return error;
    }
    m_temporary.clear();
    discard();
    return 0;
}

void NewFile::discard()
{
    m_file.close();
    if (m_fd >= 0)
        _close(m_fd); // closes the handle too
    else if (m_handle)
        CloseHandle(HANDLE(m_handle));
    m_fd = -1;
    m_handle = nullptr;
    m_temporary.clear(); // marked for deletion: closing removed it
}
