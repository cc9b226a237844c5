// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemDatabaseSession.h"

SystemDatabaseSession::~SystemDatabaseSession() = default;

DatabaseSession::Status SystemDatabaseSession::logIn(const SettingsFile::Account &, const QString &)
{
    m_error = QStringLiteral("no database client on Windows");
    return Status::Unreachable;
}

DatabaseSession::Status SystemDatabaseSession::run(const QString &)
{
    return Status::Unreachable;
}

void SystemDatabaseSession::close() {}
