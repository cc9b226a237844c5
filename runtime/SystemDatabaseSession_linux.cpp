// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemDatabaseSession.h"

#include <errmsg.h>
#include <libpq-fe.h>
#include <mysql.h>
#include <mysqld_error.h>

using namespace Qt::StringLiterals;

namespace {
MYSQL *mysqlOf(void *p)
{
    return static_cast<MYSQL *>(p);
}

PGconn *pgOf(void *p)
{
    return static_cast<PGconn *>(p);
}

// A lock the account's own other session holds (an open ALTER ROLE) ends the change rather than
// stalling root's command; the server then refuses it and nothing is changed.
constexpr const char *boundedWaits = "-c lock_timeout=20s -c statement_timeout=60s";

bool isConnectionError(unsigned int error)
{
    return error == CR_CONNECTION_ERROR || error == CR_CONN_HOST_ERROR ||
           error == CR_UNKNOWN_HOST || error == CR_SERVER_GONE_ERROR || error == CR_SERVER_LOST ||
           error == CR_SERVER_HANDSHAKE_ERR;
}
} // namespace

SystemDatabaseSession::~SystemDatabaseSession()
{
    close();
}

void SystemDatabaseSession::close()
{
    if (m_mysql)
        mysql_close(mysqlOf(m_mysql));
    if (m_pg)
        PQfinish(pgOf(m_pg));
    m_mysql = m_pg = nullptr;
}

DatabaseSession::Status SystemDatabaseSession::logIn(const SettingsFile::Account &account,
                                                     const QString &password)
{
    close();
    // The route the application takes: its socket over its host (libmariadb reads the socket
    // only for "localhost"), and the engine's own port where the file names none, never one
    // from the caller's environment (MYSQL_TCP_PORT, PGPORT).
    const QByteArray host = account.socket.isEmpty() ? account.host.toUtf8() : "localhost"_ba,
                     user = account.user.toUtf8(), database = account.database.toUtf8(),
                     secret = password.toUtf8(), socket = account.socket.toUtf8();
    const int portNumber = account.port ? account.port : AppConfig::defaultPort(account.engine);
    if (account.engine == SqlScript::Dialect::PostgreSql) {
        const QByteArray port = QByteArray::number(portNumber);
        const QByteArray timeout = QByteArray::number(timeoutSeconds);
        // No service file, no password file: the account is the one the settings name.
        const char *keys[] = {"host",
                              "port",
                              "dbname",
                              "user",
                              "password",
                              "passfile",
                              "connect_timeout",
                              "client_encoding",
                              "application_name",
                              "options",
                              nullptr};
        const char *values[] = {host.constData(),
                                port.constData(),
                                database.constData(),
                                user.constData(),
                                secret.constData(),
                                "/dev/null",
                                timeout.constData(),
                                "UTF8",
                                "sitepass-cli",
                                boundedWaits,
                                nullptr};
        m_pg = PQconnectdbParams(keys, values, 0);
        PGconn *pg = pgOf(m_pg);
        if (PQstatus(pg) != CONNECTION_OK) {
            m_error = QString::fromUtf8(PQerrorMessage(pg)).simplified(); // one line
            // A server that asked for the password and then ended the login turned it away.
            return PQconnectionUsedPassword(pg) ? Status::WrongPassword : Status::Unreachable;
        }
        const int version = PQserverVersion(pg);
        m_server = u"PostgreSQL %1.%2"_s.arg(version / 10000).arg(version % 10000);
        m_mariaDb = false;
        return Status::Ok;
    }
    m_mysql = mysql_init(nullptr);
    MYSQL *m = mysqlOf(m_mysql);
    const unsigned int timeout = timeoutSeconds;
    mysql_optionsv(m, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    mysql_optionsv(m, MYSQL_OPT_READ_TIMEOUT, &timeout);
    mysql_optionsv(m, MYSQL_OPT_WRITE_TIMEOUT, &timeout);
    mysql_optionsv(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    mysql_optionsv(m, MYSQL_INIT_COMMAND, "SET SESSION lock_wait_timeout = 20");
    if (!mysql_real_connect(m, host.isEmpty() ? nullptr : host.constData(), user.constData(),
                            secret.constData(), database.constData(), unsigned(portNumber),
                            socket.isEmpty() ? nullptr : socket.constData(), 0)) {
        const unsigned int error = mysql_errno(m);
        m_error = QString::fromUtf8(mysql_error(m));
        if (error == ER_ACCESS_DENIED_ERROR || error == ER_DBACCESS_DENIED_ERROR)
            return Status::WrongPassword;
        return isConnectionError(error) || error >= CR_MIN_ERROR ? Status::Unreachable
                                                                 : Status::Refused;
    }
    const QString info = QString::fromUtf8(mysql_get_server_info(m));
    m_mariaDb = info.contains(u"MariaDB"_s, Qt::CaseInsensitive);
    m_server = (m_mariaDb ? u"MariaDB "_s : u"MySQL "_s) + info.section(u'-', 0, 0);
    return Status::Ok;
}

DatabaseSession::Status SystemDatabaseSession::run(const QString &statement)
{
    const QByteArray text = statement.toUtf8();
    if (m_pg) {
        PGresult *result = PQexec(pgOf(m_pg), text.constData());
        const ExecStatusType status = PQresultStatus(result);
        m_error = QString::fromUtf8(PQresultErrorMessage(result)).simplified();
        PQclear(result);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            return Status::Ok;
        return PQstatus(pgOf(m_pg)) == CONNECTION_OK ? Status::Refused : Status::Unreachable;
    }
    if (!m_mysql)
        return Status::Unreachable;
    MYSQL *m = mysqlOf(m_mysql);
    if (mysql_real_query(m, text.constData(), text.size()) == 0) {
        if (MYSQL_RES *result = mysql_store_result(m))
            mysql_free_result(result);
        return Status::Ok;
    }
    m_error = QString::fromUtf8(mysql_error(m));
    return isConnectionError(mysql_errno(m)) ? Status::Unreachable : Status::Refused;
}
