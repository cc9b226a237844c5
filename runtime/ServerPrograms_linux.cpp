// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServerPrograms.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace ServerPrograms {

Run run(const QString &program, const QStringList &arguments, int timeoutMs,
        const QByteArray &input, const QString &folder)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PATH"_s,
                       u"/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"_s);
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder.isEmpty() ? u"/"_s : folder);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(10000)) {
        result.output = u"%1: %2"_s.arg(program, process.errorString());
        return result;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    // A program that hangs is a failure of its own, never a success; it is ended.
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        result.output = QString::fromUtf8(process.readAll()) +
                        u"%1 在 %2 秒内没有结束，已终止它"_s.arg(program).arg(timeoutMs / 1000);
        return result;
    }
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

QString fetch(const QString &address, const QString &port, const QString &host,
              const QDeadlineTimer &deadline)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *found = nullptr;
    if (getaddrinfo(address.toLatin1().constData(), port.toLatin1().constData(), &hints, &found))
        return {};
    QByteArray reply;
    const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    // Each wait only as long as the deadline leaves: a server that drips a byte at a time
    // cannot hold the caller past it.
    const auto waitFor = [&](short events) {
        const qint64 left = deadline.remainingTime();
        pollfd p{fd, events, 0};
        return left > 0 && poll(&p, 1, int(qMin<qint64>(left, 60000))) == 1;
    };
    bool connected = false;
    if (fd >= 0) {
        connected = ::connect(fd, found->ai_addr, found->ai_addrlen) == 0;
        if (!connected && errno == EINPROGRESS && waitFor(POLLOUT)) {
            int error = 0;
            socklen_t size = sizeof error;
            connected = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
        }
    }
    if (connected) {
        const QByteArray request =
            "GET / HTTP/1.0\r\nHost: " + host.toLatin1() + "\r\nConnection: close\r\n\r\n";
        if (::write(fd, request.constData(), size_t(request.size())) == request.size()) {
            char buffer[4096];
            while (reply.size() < 65536 && waitFor(POLLIN)) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR)))
                    break;
                if (n > 0)
                    reply.append(buffer, n);
            }
        }
    }
    if (fd >= 0)
        ::close(fd);
    freeaddrinfo(found);
    const qsizetype body = reply.indexOf("\r\n\r\n");
    return reply.startsWith("HTTP/1.1 200") && body >= 0 ? QString::fromUtf8(reply.mid(body + 4))
                                                         : QString();
}

} // namespace ServerPrograms
