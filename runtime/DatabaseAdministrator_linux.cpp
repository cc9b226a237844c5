// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "DatabaseAdministrator.h"
#include "TestStops.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <mysql.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace DatabaseAdministrator {

namespace {
// How long an administrative statement waits for a lock, and runs at most.
constexpr int lockSeconds = 20;
constexpr int statementSeconds = 120;

// The statements on one session; the value of the last one's first cell.
Result runMariaDb(const QStringList &statements)
{
    Result result;
    MYSQL *m = mysql_init(nullptr);
    const unsigned int timeout = 10, readTimeout = statementSeconds;
    mysql_optionsv(m, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    mysql_optionsv(m, MYSQL_OPT_READ_TIMEOUT, &readTimeout);
    mysql_optionsv(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // root by its Unix user (unix_socket), as Debian's MariaDB lets it in.
    if (!mysql_real_connect(m, "localhost", "root", nullptr, nullptr, 0, "/run/mysqld/mysqld.sock",
                            0)) {
        result.error = QString::fromUtf8(mysql_error(m));
        mysql_close(m);
        return result;
    }
    result.ok = true;
    // A lock a site's own session holds ends the statement, not root's command: MariaDB waits a
    // day by default.
    QStringList bounded{u"SET SESSION lock_wait_timeout = %1"_s.arg(lockSeconds)};
    bounded += statements;
    for (const QString &statement : std::as_const(bounded)) {
        const QByteArray text = statement.toUtf8();
        if (mysql_real_query(m, text.constData(), text.size()) != 0) {
            result.ok = false;
            result.error = QString::fromUtf8(mysql_error(m));
            break;
        }
        if (MYSQL_RES *rows = mysql_store_result(m)) {
            if (MYSQL_ROW row = mysql_fetch_row(rows); row && row[0])
                result.value = QString::fromUtf8(row[0]);
            mysql_free_result(rows);
        }
    }
    mysql_close(m);
    return result;
}

// PostgreSQL lets its administrator in by peer: the statements run in a child that becomes the
// postgres user, which tells the parent how they went through a pipe.
Result runPostgres(const QStringList &statements)
{
    Result result;
    const passwd *p = getpwnam("postgres");
    if (!p) {
        result.error = u"没有 postgres 用户"_s;
        return result;
    }
    const uid_t uid = p->pw_uid;
    const gid_t gid = p->pw_gid;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.error = QString::fromLocal8Bit(strerror(errno));
        return result;
    }
    const pid_t child = fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        QByteArray answer = "ok\n";
        QByteArray value;
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
            answer = "error\ncannot become postgres";
        } else {
            const char *keys[] = {"dbname", "connect_timeout", "client_encoding", nullptr};
            const char *values[] = {"postgres", "10", "UTF8", nullptr};
            PGconn *pg = PQconnectdbParams(keys, values, 0);
            // DROP ... IF EXISTS tells what it skipped; the caller words what matters.
            PQsetNoticeProcessor(
                pg, [](void *, const char *) {}, nullptr);
            if (PQstatus(pg) != CONNECTION_OK) {
                answer = "error\n" + QByteArray(PQerrorMessage(pg)).simplified();
            } else {
                QStringList bounded{u"SET lock_timeout = '%1s'"_s.arg(lockSeconds),
                                    u"SET statement_timeout = '%1s'"_s.arg(statementSeconds)};
                bounded += statements;
                for (const QString &statement : std::as_const(bounded)) {
                    PGresult *r = PQexec(pg, statement.toUtf8().constData());
                    const ExecStatusType status = PQresultStatus(r);
                    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
                        answer = "error\n" + QByteArray(PQresultErrorMessage(r)).simplified();
                        PQclear(r);
                        break;
                    }
                    if (status == PGRES_TUPLES_OK && PQntuples(r) > 0)
                        value = PQgetvalue(r, 0, 0);
                    PQclear(r);
                }
            }
            PQfinish(pg);
        }
        if (answer.startsWith("ok"))
            answer += value;
        stopHereForTests("admin-child");
        const ssize_t written = ::write(pipeFds[1], answer.constData(), size_t(answer.size()));
        _exit(written == answer.size() ? 0 : 1);
    }
    ::close(pipeFds[1]);
    QByteArray answer;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            answer.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    if (child > 0)
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    const qsizetype line = answer.indexOf('\n');
    // Its word alone is not enough: a child that ended any other way may not have said it all.
    result.ok =
        answer.startsWith("ok\n") && child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (result.ok || answer.startsWith("error\n"))
        (result.ok ? result.value : result.error) = QString::fromUtf8(answer.mid(line + 1));
    if (!result.ok && result.error.isEmpty())
        result.error = u"管理员会话没有回应"_s;
    return result;
}
} // namespace

Result run(SqlScript::Dialect engine, const QStringList &statements)
{
    return engine == SqlScript::Dialect::PostgreSql ? runPostgres(statements)
                                                    : runMariaDb(statements);
}

} // namespace DatabaseAdministrator
