// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteMachine.h"

#include "NewFile.h"
#include "SystemAccounts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <cerrno>
#include <errmsg.h>
#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <mysql.h>
#include <netdb.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace SiteMachine {

namespace {
QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

int owner(const QString &user, const QString &group, uid_t &uid, gid_t &gid)
{
    uid = 0;
    gid = 0;
    if (!user.isEmpty()) {
        const passwd *p = getpwnam(user.toLocal8Bit().constData());
        if (!p)
            return ENOENT;
        uid = p->pw_uid;
    }
    if (!group.isEmpty()) {
        const struct group *g = getgrnam(group.toLocal8Bit().constData());
        if (!g)
            return ENOENT;
        gid = g->gr_gid;
    }
    return 0;
}

// The statements on one session; the value of the last one's first cell.
AdminResult runMariaDb(const QStringList &statements)
{
    AdminResult result;
    MYSQL *m = mysql_init(nullptr);
    const unsigned int timeout = 10;
    mysql_optionsv(m, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    mysql_optionsv(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // root by its Unix user (unix_socket), as Debian's MariaDB lets it in.
    if (!mysql_real_connect(m, "localhost", "root", nullptr, nullptr, 0, "/run/mysqld/mysqld.sock",
                            0)) {
        result.error = QString::fromUtf8(mysql_error(m));
        mysql_close(m);
        return result;
    }
    result.ok = true;
    for (const QString &statement : statements) {
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
AdminResult runPostgres(const QStringList &statements)
{
    AdminResult result;
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
            if (PQstatus(pg) != CONNECTION_OK) {
                answer = "error\n" + QByteArray(PQerrorMessage(pg)).simplified();
            } else {
                for (const QString &statement : statements) {
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
        waitpid(child, &status, 0);
    const qsizetype line = answer.indexOf('\n');
    result.ok = answer.startsWith("ok\n");
    (result.ok ? result.value : result.error) = QString::fromUtf8(answer.mid(line + 1));
    if (!result.ok && result.error.isEmpty())
        result.error = u"管理员会话没有回应"_s;
    return result;
}
} // namespace

bool userExists(const QString &name)
{
    return SystemAccounts::userExists(name);
}

bool groupExists(const QString &name)
{
    return getgrnam(name.toLocal8Bit().constData()) != nullptr;
}

QString addSystemUser(const QString &name)
{
    const Run r =
        run(u"useradd"_s, {u"--system"_s, u"--user-group"_s, u"--no-create-home"_s, u"--home-dir"_s,
                           u"/nonexistent"_s, u"--shell"_s, u"/usr/sbin/nologin"_s, name});
    return r.ok() ? QString() : r.output.trimmed();
}

QString removeUser(const QString &name)
{
    if (userExists(name)) {
        const Run r = run(u"userdel"_s, {name});
        if (!r.ok())
            return r.output.trimmed();
    }
    if (groupExists(name)) {
        const Run r = run(u"groupdel"_s, {name});
        if (!r.ok())
            return r.output.trimmed();
    }
    return {};
}

bool exists(const QString &path)
{
    struct stat st;
    return lstat(encoded(path).constData(), &st) == 0;
}

int makeFolder(const QString &path, const QString &user, const QString &group, int mode)
{
    uid_t uid;
    gid_t gid;
    if (const int error = owner(user, group, uid, gid))
        return error;
    const QByteArray name = encoded(path);
    if (mkdir(name.constData(), 0700) != 0)
        return errno;
    if (chown(name.constData(), uid, gid) != 0 || chmod(name.constData(), mode_t(mode)) != 0)
        return errno;
    return 0;
}

int writeFile(const QString &path, const QString &text, const QString &user, const QString &group,
              int mode)
{
    uid_t uid;
    gid_t gid;
    if (const int error = owner(user, group, uid, gid))
        return error;
    NewFile file(path);
    if (const int error = file.open())
        return error;
    if (fchown(file.descriptor(), uid, gid) != 0 || fchmod(file.descriptor(), mode_t(mode)) != 0)
        return errno;
    const QByteArray bytes = text.toUtf8();
    if (file.device().write(bytes) != bytes.size())
        return EIO;
    return file.commit();
}

int makeLink(const QString &target, const QString &path)
{
    return symlink(encoded(target).constData(), encoded(path).constData()) == 0 ? 0 : errno;
}

int remove(const QString &path)
{
    const QFileInfo info(path);
    if (!exists(path))
        return 0;
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively() ? 0 : EIO;
    return unlink(encoded(path).constData()) == 0 ? 0 : errno;
}

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PATH"_s,
                       u"/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"_s);
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(10000)) {
        result.output = u"%1: %2"_s.arg(program, process.errorString());
        return result;
    }
    process.closeWriteChannel();
    process.waitForFinished(120000);
    result.output = QString::fromUtf8(process.readAll());
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

std::optional<QString> phpVersion()
{
    static const QRegularExpression name(u"^php-fpm(\\d+\\.\\d+)$"_s);
    QString best;
    for (const QString &file : QDir(u"/usr/sbin"_s).entryList({u"php-fpm*"_s}, QDir::Files)) {
        const auto match = name.match(file);
        if (match.hasMatch() && (best.isEmpty() || QStringView(match.captured(1)) > best))
            best = match.captured(1);
    }
    return best.isEmpty() ? std::nullopt : std::optional<QString>(best);
}

bool systemdRuns()
{
    return QFileInfo(u"/run/systemd/system"_s).isDir();
}

QString fetch(const QString &address, const QString &port, const QString &host)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *found = nullptr;
    if (getaddrinfo(address.toLatin1().constData(), port.toLatin1().constData(), &hints, &found))
        return {};
    QByteArray reply;
    const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval timeout{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (fd >= 0 && ::connect(fd, found->ai_addr, found->ai_addrlen) == 0) {
        const QByteArray request =
            "GET / HTTP/1.0\r\nHost: " + host.toLatin1() + "\r\nConnection: close\r\n\r\n";
        if (::write(fd, request.constData(), size_t(request.size())) == request.size()) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(fd, buffer, sizeof buffer)) > 0 && reply.size() < 65536)
                reply.append(buffer, n);
        }
    }
    if (fd >= 0)
        ::close(fd);
    freeaddrinfo(found);
    const qsizetype body = reply.indexOf("\r\n\r\n");
    return reply.startsWith("HTTP/1.1 200") && body >= 0 ? QString::fromUtf8(reply.mid(body + 4))
                                                         : QString();
}

AdminResult runAsAdministrator(SqlScript::Dialect engine, const QStringList &statements)
{
    return engine == SqlScript::Dialect::PostgreSql ? runPostgres(statements)
                                                    : runMariaDb(statements);
}

} // namespace SiteMachine
