// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileReplacement.h"

#include <cerrno>

FileReplacement::FileReplacement(QString path) : m_path(std::move(path)) {}
FileReplacement::~FileReplacement() = default;

int FileReplacement::open()
{
    return ENOSYS;
}

bool FileReplacement::hasCopy() const
{
    return false;
}

int FileReplacement::readCopy(QByteArray &) const
{
    return ENOSYS;
}

int FileReplacement::writeCopy(const QByteArray &)
{
    return ENOSYS;
}

int FileReplacement::commit()
{
    return ENOSYS;
}

int FileReplacement::syncFolder() const
{
    return ENOSYS;
}

int FileReplacement::discardCopy()
{
    return ENOSYS;
}
