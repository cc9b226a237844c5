// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DatabaseSession.h"

// MariaDB and MySQL through libmariadb, PostgreSQL through libpq (Linux). On Windows every login
// is Unreachable: the command runs on the server.
class SystemDatabaseSession : public DatabaseSession
{
public:
    SystemDatabaseSession() = default;
    ~SystemDatabaseSession() override;
    SystemDatabaseSession(const SystemDatabaseSession &) = delete;
    SystemDatabaseSession &operator=(const SystemDatabaseSession &) = delete;

    Status logIn(const SettingsFile::Account &account, const QString &password) override;
    bool isMariaDb() const override { return m_mariaDb; }
    Status run(const QString &statement) override;
    QString lastError() const override { return m_error; }
    QString serverName() const override { return m_server; }

    // Ends the session, so that the account's next login is not one too many.
    void close();

    // Seconds to wait for a server to answer a login or a statement.
    static constexpr int timeoutSeconds = 10;

private:
    void *m_mysql = nullptr; // MYSQL
    void *m_pg = nullptr;    // PGconn
    bool m_mariaDb = false;
    QString m_error, m_server;
};
