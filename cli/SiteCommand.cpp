// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteCommand.h"

#include "ChunkedOutput.h"
#include "PasswordCommands.h"
#include "SitePlan.h"
#include "SitepassError.h"
#include "VaultCommand.h"

#ifndef Q_OS_WIN
#include "CoreDumps.h"
#include "DatabaseAdministrator.h"
#include "OpenedFolder.h"
#include "ServerPrograms.h"
#include "SiteFiles.h"
#include "SiteUsers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace CommandLine {

#ifndef Q_OS_WIN
namespace {
using namespace SitePlan;

// How long the last check waits for the site's own answer, whatever answers meanwhile.
constexpr int checkSeconds = 20;

// A step that failed after the checks: what failed, in the user's words.
struct StepFailed
{
    QString message;
};

QString journalPath(const Layout &layout, const QString &host)
{
    return layout.stateFolder + u'/' + host + u".json"_s;
}

QString words(int error)
{
    const QString described = describeCreateFailure(error);
    return described.isEmpty() ? QString::fromLocal8Bit(strerror(error)) : described;
}

// The journal in the state folder, root's alone; the problem in the user's words, or empty.
QString saveJournal(const Layout &layout, const Journal &journal)
{
    OpenedFolder state;
    if (const int error = state.openMade(layout.stateFolder, 0700);
        error || fchmod(state.descriptor(), 0700) != 0)
        return u"无法建立记录文件夹“%1”：%2"_s.arg(layout.stateFolder,
                                                   words(error ? error : errno));
    QSaveFile file(journalPath(layout, journal.site.host));
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
        file.write(SitePlan::write(journal)) < 0 || !file.commit())
        return u"无法写入记录文件“%1”：%2"_s.arg(journalPath(layout, journal.site.host),
                                                 file.errorString());
    return {};
}

// A path as the web server reads it: Debian's Apache names its log folder by a variable of
// /etc/apache2/envvars.
QString serverPath(const QString &path)
{
    QString expanded = path;
    return expanded.replace(WebConfig::defaultApacheLogFolder.toString(), u"/var/log/apache2"_s);
}

QString lastLine(const QString &output)
{
    const QStringList lines = output.trimmed().split(u'\n');
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}

QString programName(const QString &program)
{
    return QFileInfo(program).fileName();
}

// The process a pid file names, or 0.
pid_t pidIn(const QString &pidFile)
{
    QFile file(pidFile);
    bool ok = false;
    const pid_t pid =
        file.open(QIODevice::ReadOnly) ? pid_t(file.read(32).trimmed().toInt(&ok)) : 0;
    return ok && pid > 0 ? pid : 0;
}

bool runs(const QString &pidFile)
{
    const pid_t pid = pidIn(pidFile);
    return pid > 0 && ::kill(pid, 0) == 0;
}

// The nginx master's workers that still take connections (not "shutting down").
QList<qint64> servingWorkers(pid_t master)
{
    QList<qint64> found;
    if (master <= 0)
        return found;
    for (const QString &entry : QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile stat(u"/proc/%1/stat"_s.arg(entry)), command(u"/proc/%1/cmdline"_s.arg(entry));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid …": the name may hold spaces and brackets of its own.
        const QByteArray line = stat.read(4096);
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields.at(1).toLongLong() != master ||
            !command.open(QIODevice::ReadOnly))
            continue;
        const QByteArray title = command.read(256);
        if (title.startsWith("nginx: worker process") && !title.contains("shutting down"))
            found << pid;
    }
    return found;
}

// The web server's pid file, as its own configuration names it.
QString webPidFile(const Site &site)
{
    const bool nginx = site.server == Server::Nginx;
    const ServerPrograms::Run r = ServerPrograms::run(
        site.webProgram,
        nginx ? QStringList{u"-T"_s, u"-q"_s} : QStringList{u"-t"_s, u"-D"_s, u"DUMP_RUN_CFG"_s});
    static const QRegularExpression nginxPid(u"^\\s*pid\\s+([^;\\s]+)\\s*;"_s,
                                             QRegularExpression::MultilineOption);
    static const QRegularExpression apachePid(u"^PidFile: \"([^\"]+)\""_s,
                                              QRegularExpression::MultilineOption);
    if (const auto found = (nginx ? nginxPid : apachePid).match(r.output); found.hasMatch())
        return found.captured(1);
    return nginx ? u"/run/nginx.pid"_s : u"/run/apache2/apache2.pid"_s;
}

// The first of the servers the site needs that is not running: its reload would fail only
// once everything else is made.
QString stoppedServer(const Site &site)
{
    const auto stopped = [](const QString &name, const QString &service, const QString &pidFile) {
        if (!service.isEmpty())
            return ServerPrograms::run(u"systemctl"_s, {u"is-active"_s, u"--quiet"_s, service}).ok()
                       ? QString()
                       : u"%1 没有在运行：先启动它（systemctl start %2）"_s.arg(name, service);
        return runs(pidFile)
                   ? QString()
                   : u"%1 没有在运行（%2 没有指向在运行的进程）：先启动它"_s.arg(name, pidFile);
    };
    if (const QString p = stopped(programName(site.phpFpm), site.phpService, site.phpFpmPidFile);
        !p.isEmpty())
        return p;
    return stopped(serverName(site.server), site.webService,
                   site.webService.isEmpty() ? webPidFile(site) : QString());
}

// "8.2" for Debian's php-fpm8.2; empty for a program named otherwise.
QString phpVersionOf(const QString &phpFpm)
{
    static const QRegularExpression versioned(u"^php-fpm(\\d+\\.\\d+)$"_s);
    return versioned.match(programName(phpFpm)).captured(1);
}

// The packages of the extensions the application needs that the pool's own PHP lacks (that
// PHP's version in their names where the program tells it); empty when it has them all.
QStringList missingPhpPackages(const Site &site)
{
    const ServerPrograms::Run r = ServerPrograms::run(site.phpFpm, {u"-m"_s});
    if (!r.ok())
        return {}; // its -t says why, in the configuration's check
    QStringList modules;
    for (const QString &line : r.output.split(u'\n'))
        modules << line.trimmed().toLower();
    const QString version = phpVersionOf(site.phpFpm);
    QStringList packages;
    for (const SitePlan::PhpExtension &e : SitePlan::phpExtensions(site.app, site.engine)) {
        const QString package =
            version.isEmpty() ? e.package
                              : QString(e.package).replace(u"php-"_s, u"php"_s + version + u'-');
        if (!modules.contains(e.module) && !packages.contains(package))
            packages << package;
    }
    return packages;
}

// The servers' own checks of their whole configuration: the program's last line where it fails.
QString configurationProblem(const Site &site)
{
    const ServerPrograms::Run fpm = ServerPrograms::run(site.phpFpm, {u"-t"_s});
    if (!fpm.ok())
        return u"%1 -t：%2"_s.arg(programName(site.phpFpm), lastLine(fpm.output));
    const QStringList arguments =
        site.server == Server::Nginx ? QStringList{u"-t"_s, u"-q"_s} : QStringList{u"-t"_s};
    const ServerPrograms::Run web = ServerPrograms::run(site.webProgram, arguments);
    return web.ok() ? QString()
                    : u"%1 -t：%2"_s.arg(programName(site.webProgram), lastLine(web.output));
}

// Debian's php-fpm ends every request in flight when it reloads (process_control_timeout = 0),
// so a reload for one site would cut the others'. Where it is 0, a file in the pool folder lets
// php-fpm wait for them: the one global setting sitepass makes, kept for every later reload.
constexpr int graceSeconds = 10;

QString letReloadsWait(const Site &site)
{
    const QString file = QFileInfo(site.poolFile).absolutePath() + u"/00-sitepass-reload.conf"_s;
    if (SiteFiles::exists(file))
        return {};
    const ServerPrograms::Run r = ServerPrograms::run(site.phpFpm, {u"-tt"_s});
    static const QRegularExpression setting(u"process_control_timeout = (\\d+)"_s);
    const auto found = setting.match(r.output);
    if (!r.ok() || !found.hasMatch() || found.captured(1) != u"0"_s)
        return {}; // set by the administrator, or not told: theirs stands
    const QString text =
        u"; Made by sitepass-cli: a reload waits up to %1 s for the requests in flight on every\n"
        "; site, instead of ending them. Delete it to have php-fpm's default again.\n"
        "[global]\nprocess_control_timeout = %1s\n"_s.arg(graceSeconds);
    const int error = SiteFiles::writeFile(file, text, {}, {}, 0644);
    return error ? u"无法写入“%1”：%2"_s.arg(file, words(error)) : QString();
}

// php-fpm first, so that the pool's socket is there when the web server sends to it; its
// restart is waited for (the site's socket there or gone, as `pool` says), since a second
// reload while php-fpm starts again would stop it. Through systemd where it runs the service,
// otherwise the servers' own way: php-fpm's pid file, `nginx -s reload`, `apachectl graceful`.
QString reload(const Site &site, bool pool)
{
    if (!site.phpService.isEmpty()) {
        const auto r = ServerPrograms::run(u"systemctl"_s, {u"reload"_s, site.phpService});
        if (!r.ok())
            return u"systemctl reload %1：%2"_s.arg(site.phpService, r.output.trimmed());
    } else {
        QFile pidFile(site.phpFpmPidFile);
        const pid_t pid =
            pidFile.open(QIODevice::ReadOnly) ? pid_t(pidFile.readAll().trimmed().toInt()) : 0;
        if (pid <= 0 || ::kill(pid, SIGUSR2) != 0)
            return u"php-fpm 没有在运行（%1）"_s.arg(site.phpFpmPidFile);
    }
    // It may wait for the requests in flight first. php-fpm sets up its signals before its
    // sockets, so once the socket is there or gone, the next reload is safe to send.
    for (int tries = 0; tries < (graceSeconds + 5) * 50 && SiteFiles::exists(site.socket) != pool;
         ++tries)
        QThread::msleep(20);
    // nginx's workers of before take new connections with the old configuration until they
    // hear of the reload: it is done when none of them is still serving.
    const pid_t master = site.server == Server::Nginx ? pidIn(webPidFile(site)) : 0;
    const QList<qint64> before = servingWorkers(master);
    const ServerPrograms::Run web =
        !site.webService.isEmpty()
            ? ServerPrograms::run(u"systemctl"_s, {u"reload"_s, site.webService})
            : ServerPrograms::run(site.webProgram, site.server == Server::Nginx
                                                       ? QStringList{u"-s"_s, u"reload"_s}
                                                       : QStringList{u"graceful"_s});
    if (!web.ok())
        return site.webService.isEmpty()
                   ? u"%1：%2"_s.arg(programName(site.webProgram), web.output.trimmed())
                   : u"systemctl reload %1：%2"_s.arg(site.webService, web.output.trimmed());
    for (int tries = 0; tries < 100 && !before.isEmpty(); ++tries) {
        const QList<qint64> serving = servingWorkers(master);
        if (std::none_of(before.cbegin(), before.cend(),
                         [&](qint64 pid) { return serving.contains(pid); }))
            break;
        QThread::msleep(50);
    }
    return {};
}

struct SiteRun
{
    const Invocation &call;
    Layout layout;
    Journal journal;

    void save()
    {
        if (const QString problem = saveJournal(layout, journal); !problem.isEmpty())
            throw StepFailed{problem};
    }

    // Records the step before it runs and once it is done; its failure is thrown.
    void step(Step s, const std::function<QString()> &work)
    {
        journal.steps.append({s, false});
        save();
        stopHereForTests(stepName(s).toLatin1().constData());
        const QString problem = work();
        stopHereForTests((stepName(s) + u"-done"_s).toLatin1().constData());
        if (!problem.isEmpty())
            throw StepFailed{problem};
        journal.steps.last().second = true;
        save();
    }

    QString files(const QList<std::tuple<QString, QString, QString, int, QString>> &list)
    {
        for (const auto &[path, user, group, mode, text] : list) {
            const int error = text.isNull() ? SiteFiles::makeFolder(path, user, group, mode)
                                            : SiteFiles::writeFile(path, text, user, group, mode);
            if (error)
                return u"无法创建“%1”：%2"_s.arg(path, words(error));
        }
        return {};
    }

    void add(const Site &site)
    {
        journal.site = site;
        const QString &user = site.user, &web = site.webUser;
        step(Step::User, [&] {
            const QString problem = SiteUsers::addSystemUser(user);
            return problem.isEmpty() ? problem : u"useradd %1：%2"_s.arg(user, problem);
        });
        step(Step::Folders, [&] {
            if (!SiteFiles::exists(site.logFolder)) {
                journal.madeLogFolder = true;
                save();
                if (const QString p = files({{site.logFolder, {}, {}, 0750, {}}}); !p.isEmpty())
                    return p;
            }
            // The site's user owns its folder, the web server's group reads what is served,
            // PHP's own folders are the site's alone. The served folder is setgid, so that
            // what PHP makes in it (uploads) keeps the web server's group, never the site's.
            const int served = 02750;
            QList<std::tuple<QString, QString, QString, int, QString>> list = {
                {site.siteRoot, user, web, site.docRoot == site.siteRoot ? served : 0750, {}}};
            // An upload is moved from PHP's temporary folder, keeping the group it was made
            // with there: that folder gives the web server's group too (setgid), though only
            // the site's user may enter it.
            for (const QString &folder : site.phpFolders)
                list.append(folder == site.uploadFolder
                                ? std::tuple{folder, user, web, 02700, QString()}
                                : std::tuple{folder, user, user, 0700, QString()});
            if (site.docRoot != site.siteRoot)
                list.append({site.docRoot, user, web, served, {}});
            list.append({site.docRoot + u"/index.php"_s, user, web, 0640, site.placeholderText});
            return files(list);
        });
        step(Step::Database, [&] {
            const auto result = DatabaseAdministrator::run(site.engine, site.databaseStatements);
            return result.ok ? QString() : u"数据库：%1"_s.arg(result.error);
        });
        // Readable by the site's group alone: never by the web server or another site.
        step(Step::Settings, [&] {
            return files({{site.settingsFile, {}, user, 0640, site.settingsText}});
        });
        step(Step::Pool, [&] {
            if (const QString p = files({{site.poolFile, {}, {}, 0644, site.poolText}});
                !p.isEmpty())
                return p;
            const ServerPrograms::Run r = ServerPrograms::run(site.phpFpm, {u"-t"_s});
            return r.ok() ? QString()
                          : u"%1 -t 不接受新的进程池：%2"_s.arg(programName(site.phpFpm),
                                                                lastLine(r.output));
        });
        step(Step::ServerFile, [&] {
            // The site's logs before the server makes them (root's, read by all): as Debian's
            // logrotate keeps them, unreadable to the other sites' users.
            const QString logGroup = SiteUsers::groupExists(u"adm"_s) ? u"adm"_s : QString();
            for (const QString &log : site.serverLogs)
                if (const int error = SiteFiles::prepareFile(
                        serverPath(log), site.server == Server::Nginx ? web : QString(), logGroup,
                        0640))
                    return u"无法创建“%1”：%2"_s.arg(serverPath(log), words(error));
            if (const QString p = files({{site.serverFile, {}, {}, 0644, site.serverText}});
                !p.isEmpty())
                return p;
            if (!site.serverLink.isEmpty())
                if (const int error = SiteFiles::makeLink(site.serverFile, site.serverLink))
                    return u"无法创建“%1”：%2"_s.arg(site.serverLink, words(error));
            for (const QString &module : site.apacheModules)
                if (const auto r = ServerPrograms::run(u"a2enmod"_s, {u"-q"_s, module}); !r.ok())
                    return u"a2enmod %1：%2"_s.arg(module, r.output.trimmed());
            const ServerPrograms::Run r = ServerPrograms::run(
                site.webProgram, site.server == Server::Nginx ? QStringList{u"-t"_s, u"-q"_s}
                                                              : QStringList{u"-t"_s});
            return r.ok() ? QString() : u"Web 服务器不接受新的配置：%1"_s.arg(lastLine(r.output));
        });
        step(Step::Reload, [&] { return reload(site, true); });
        // The answer only the site's own pool can give: whoever else listens on the port, or a
        // server that drips its reply, fails the check by its deadline.
        step(Step::Check, [&] {
            const QString &expected = site.checkAnswer;
            const QString address = call.parser.value(call.options.listenAddress);
            const QDeadlineTimer deadline(checkSeconds * 1000);
            QString got;
            for (int tries = 0; !got.startsWith(expected) && !deadline.hasExpired(); ++tries) {
                if (tries)
                    QThread::msleep(200);
                // The last answer there was, for the message: a request the deadline cut is none.
                if (const QString answer =
                        ServerPrograms::fetch(address.isEmpty() ? u"127.0.0.1"_s : address,
                                              site.port, site.host, deadline);
                    !answer.isEmpty())
                    got = answer;
            }
            return got.startsWith(expected)
                       ? QString()
                       : u"http://%1:%2/ 没有经站点自己的进程池答出占位页（得到“%3”）"_s.arg(
                             site.host, site.port, got.left(80).trimmed());
        });
        // WordPress's files over the placeholder, our wp-config.php kept, all the site's user's
        // as the rest of its folder; then its own installer, as that user.
        if (site.app == App::WordPress)
            step(Step::Install, [&] {
                if (const int error = SiteFiles::copyTree(site.wordpressFrom, site.docRoot,
                                                          site.user, site.webUser, 0640, 02750,
                                                          {u"wp-config.php"_s, u".htaccess"_s}))
                    return u"无法把 WordPress 的文件从“%1”放进“%2”：%3"_s.arg(
                        site.wordpressFrom, site.docRoot,
                        error == EPERM ? u"它要属于 root，别人不能写"_s : words(error));
                const ServerPrograms::Run r =
                    ServerPrograms::run(u"runuser"_s,
                                        {u"-u"_s, site.user, u"--"_s, site.phpCli, u"-r"_s,
                                         SitePlan::wordPressInstaller()},
                                        120000, site.installInput, site.docRoot);
                return r.ok() && r.output.endsWith(u"installed\n"_s)
                           ? QString()
                           : u"WordPress 的安装程序没有装好：%1"_s.arg(lastLine(r.output));
            });
    }
};

// Folders every local user may write, where a site's user may have left what would be the next
// site's once its ids are given again (a set-id program among them).
const QStringList sharedFolders = {u"/tmp"_s, u"/var/tmp"_s, u"/dev/shm"_s, u"/run/lock"_s,
                                   u"/var/lib/php/sessions"_s};

struct Undone
{
    QStringList problems;
    QStringList swept;        // what the site's user had left in the shared folders
    bool userRemoved = false; // its ids free again
};

// Takes away what the journal says was begun, in reverse, marking in it what is gone; what cannot
// be taken away is said. The site's user goes only with the last of its files and database.
Undone undo(Journal &j, bool dropDatabase, bool deleteFiles)
{
    Undone result;
    QStringList &problems = result.problems;
    const Site &s = j.site;
    const auto begun = [&](Step step) {
        return std::any_of(j.steps.cbegin(), j.steps.cend(),
                           [&](const auto &entry) { return entry.first == step; });
    };
    const auto removed = [&](const QString &path) {
        if (const int error = SiteFiles::remove(path))
            problems << u"无法删除“%1”：%2"_s.arg(path, words(error));
    };
    if (begun(Step::ServerFile)) {
        if (!s.serverLink.isEmpty())
            removed(s.serverLink);
        removed(s.serverFile);
        if (deleteFiles)
            for (const QString &log : s.serverLogs)
                removed(serverPath(log));
    }
    if (begun(Step::Pool))
        removed(s.poolFile);
    // The servers let go of the site before its user goes: php-fpm would not start a pool
    // whose user is missing.
    if (begun(Step::Reload) && !j.removed)
        if (const QString p = reload(s, false); !p.isEmpty())
            problems << p;
    // With its pool gone, whatever still runs as the site's user is its own leftover: it would
    // keep writing, and stop userdel.
    if (begun(Step::User))
        if (const QString p = SiteUsers::endProcesses(s.user); !p.isEmpty())
            problems << p;
    if (begun(Step::Database) && dropDatabase && !j.databaseDropped) {
        const auto dropped = DatabaseAdministrator::run(
            s.engine, SqlScript::drop(s.engine, s.database, s.databaseUser,
                                      SqlScript::defaultHost.toString()));
        if (dropped.ok)
            j.databaseDropped = true;
        else
            problems << u"数据库：%1"_s.arg(dropped.error);
    }
    if (deleteFiles && !j.filesDeleted) {
        const qsizetype before = problems.size();
        // Inside the site root it goes with the tree; a name there is never followed alone.
        if (begun(Step::Settings) && !s.settingsFile.startsWith(s.siteRoot + u'/'))
            removed(s.settingsFile);
        if (begun(Step::Folders)) {
            removed(s.siteRoot);
            removed(s.logFolder + u'/' + s.host + u".slow.log"_s);
            if (j.madeLogFolder)
                QDir().rmdir(s.logFolder); // only where nothing else was put there
        }
        j.filesDeleted = problems.size() == before;
    }
    if (!begun(Step::User))
        return result;
    const bool kept = (begun(Step::Database) && !j.databaseDropped) ||
                      (begun(Step::Folders) && !j.filesDeleted) || !problems.isEmpty();
    if (kept) {
        if (const QString p = SiteUsers::lockUser(s.user); !p.isEmpty())
            problems << u"usermod --lock %1：%2"_s.arg(s.user, p);
        return result;
    }
    // Nothing of the user's may outlive it: the next site would own it.
    if (const long long uid = SiteUsers::userId(s.user); uid > 0)
        for (const QString &folder : sharedFolders)
            if (const int error = SiteFiles::removeOwnedBy(folder, uid_t(uid), result.swept))
                problems << u"无法清理“%1”里 %2 的文件：%3；用户留着（已锁定）。"_s.arg(
                    folder, s.user, words(error));
    if (!problems.isEmpty()) {
        SiteUsers::lockUser(s.user);
        return result;
    }
    if (const QString p = SiteUsers::removeUser(s.user); !p.isEmpty())
        problems << u"userdel %1：%2"_s.arg(s.user, p);
    else
        result.userRemoved = true;
    return result;
}

std::optional<Journal> readJournal(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return SitePlan::read(file.read(1 << 20));
}

void requireRoot(const QString &verb)
{
    if (geteuid() != 0)
        throw UsageError{u"site %1 要以 root 运行：它要建用户、写 /etc 并重载服务器。"_s.arg(verb)};
}

QString requirePhp()
{
    const auto version = ServerPrograms::phpVersion();
    if (!version)
        throw UsageError{u"没有安装 php-fpm（/usr/sbin/php-fpmX.Y）。"_s};
    return *version;
}

// Debian's layout where systemd may run its services, with what the options name instead.
Layout layoutFrom(const Invocation &call, Server server)
{
    const QCommandLineParser &p = call.parser;
    const Options &o = call.options;
    const auto path = [&](const QCommandLineOption &option) {
        return QFileInfo(p.value(option)).absoluteFilePath();
    };
    Layout layout;
    if (p.isSet(o.phpFpm)) {
        if (!p.isSet(o.poolDir) || !p.isSet(o.phpFpmPid))
            throw UsageError{u"给出 --php-fpm 时也要给出 --pool-dir 和 --php-fpm-pid。"_s};
        const Layout debian = debianLayout({}, server);
        layout.phpFpm = path(o.phpFpm);
        layout.webProgram = debian.webProgram;
        layout.webService = debian.webService;
    } else {
        layout = debianLayout(requirePhp(), server);
    }
    if (p.isSet(o.poolDir))
        layout.poolFolder = path(o.poolDir);
    if (p.isSet(o.phpFpmPid)) {
        layout.phpFpmPidFile = path(o.phpFpmPid);
        layout.phpService.clear();
    }
    if (p.isSet(o.serverDir))
        layout.serverFolder = path(o.serverDir);
    if (p.isSet(o.serverProgram)) {
        layout.webProgram = path(o.serverProgram);
        layout.webService.clear();
    }
    if (!ServerPrograms::systemdRuns()) {
        layout.phpService.clear();
        layout.webService.clear();
    }
    for (const QString &program : {layout.phpFpm, layout.webProgram}) {
        const QFileInfo file(program);
        if (program.contains(u'/') && !(file.isFile() && file.isExecutable()))
            throw UsageError{u"程序“%1”不存在或不能执行。"_s.arg(program.left(200))};
    }
    return layout;
}

void add(const Invocation &call, ChunkedOutput &out)
{
    const QCommandLineParser &parser = call.parser;
    const Options &o = call.options;
    rejectOptions(parser,
                  QList<const QCommandLineOption *>{&o.count, &o.host, &o.showPassword, &o.dbHost,
                                                    &o.phpUser, &o.dropDatabase, &o.deleteFiles,
                                                    &o.crlf},
                  u"site add"_s);
    if (call.positional.size() != 3)
        throw UsageError{u"site add 需要一个域名，例如 site add example.com --app php。"_s};
    const QString domain = call.positional.at(2);
    if (!parser.isSet(o.app))
        throw UsageError{u"site add 需要 --app php、laravel 或 wordpress。"_s};
    const auto app = appNamed(parser.value(o.app));
    if (!app)
        throw UsageError{u"--app 应为 php、laravel 或 wordpress，收到“%1”。"_s.arg(
            parser.value(o.app).left(40))};
    const auto engine = SqlScript::dialectNamed(parser.value(o.engine));
    if (!engine || *engine == SqlScript::Dialect::MySql)
        throw UsageError{u"--engine 应为 mariadb 或 postgresql，收到“%1”。"_s.arg(
            parser.value(o.engine).left(40))};
    if (*app == App::WordPress && *engine == SqlScript::Dialect::PostgreSql)
        throw UsageError{u"WordPress 不支持 PostgreSQL：wordpress 只能配合 mariadb。"_s};
    const auto server = serverNamed(parser.value(o.server));
    if (!server)
        throw UsageError{
            u"--server 应为 nginx 或 apache，收到“%1”。"_s.arg(parser.value(o.server).left(40))};
    const WebConfig::Settings settings = webSettingsFrom(parser, o);
    const OutputFile output = outputFile(parser, o);
    for (const QCommandLineOption *option : {&o.keyFile, &o.noPassword})
        if (parser.isSet(*option) && !parser.isSet(o.vault))
            throw UsageError{u"--%1 只与 --vault 同用。"_s.arg(option->names().constFirst())};
    if (parser.isSet(o.vault) && parser.value(o.profile) == u"-"_s)
        throw UsageError{u"用 --vault 时标准输入是保险库的主密码：--profile 要给文件。"_s};
    // The report is the only copy of the passwords: its file is checked before the site is made.
    if (!output.name.isEmpty() && (SiteFiles::exists(output.name) ||
                                   !QFileInfo(QFileInfo(output.name).absolutePath()).isDir()))
        throw UsageError{u"--output 的“%1”已存在或它的文件夹不存在。"_s.arg(output.name.left(200))};
    requireRoot(u"add"_s);
    const Layout layout = layoutFrom(call, *server);

    SiteTexts profile;
    QString token;
    if (parser.isSet(o.profile)) {
        rejectOptions(parser, o.passwordOptions() + o.profileOptions().mid(0, 3),
                      u"site add --profile"_s);
        profile = readSiteProfile(parser.value(o.profile), call.in, *engine);
        if (WebConfig::hostName(profile.siteName) != WebConfig::hostName(domain))
            throw UsageError{u"--profile 的站点名称是“%1”，不是“%2”。"_s.arg(
                profile.siteName.left(60), domain.left(60))};
    } else {
        profile = newProfile(call, domain, token);
        // WordPress's own admin folder, which its login page is guarded with.
        if (*app == App::WordPress && !parser.isSet(o.adminPath))
            profile.adminPath = u"/wp-admin/"_s;
    }
    Site site;
    try {
        site = plan(profile, *app, *engine, *server, settings, layout, call.random);
    } catch (const SitepassError &e) {
        throw UsageError{describeProfile(e, *engine)};
    }

    if (*app == App::WordPress) {
        site.wordpressFrom = QFileInfo(parser.isSet(o.wordpressFrom) ? parser.value(o.wordpressFrom)
                                                                     : u"/usr/share/wordpress"_s)
                                 .absoluteFilePath();
        struct stat from;
        if (stat(QFile::encodeName(site.wordpressFrom).constData(), &from) == 0 &&
            (from.st_uid != 0 || (from.st_mode & 022)))
            throw UsageError{u"“%1”要属于 root，别人不能写：root 要从那里复制 WordPress。"_s.arg(
                site.wordpressFrom.left(200))};
        if (!QFileInfo(site.wordpressFrom + u"/wp-load.php"_s).isFile())
            throw UsageError{u"“%1”里没有 WordPress（wp-load.php）：先 apt install wordpress，或用 "
                             "--wordpress-from 给出解开的 WordPress 的文件夹。"_s.arg(
                                 site.wordpressFrom.left(200))};
        const QString email =
            parser.isSet(o.adminEmail) ? parser.value(o.adminEmail) : u"admin@"_s + site.host;
        static const QRegularExpression address(
            u"^[A-Za-z0-9._%+-]{1,64}@[A-Za-z0-9.-]{1,190}\\z"_s);
        if (!address.match(email).hasMatch())
            throw UsageError{u"--admin-email 应为一个电子邮件地址，如 admin@%1，收到“%2”。"_s.arg(
                site.host, email.left(60))};
        const QString version = phpVersionOf(site.phpFpm);
        site.phpCli = !version.isEmpty() ? u"/usr/bin/php"_s + version
                                         : QFileInfo(site.phpFpm).absolutePath() + u"/../bin/php"_s;
        if (!QFileInfo(site.phpCli).isExecutable())
            throw UsageError{
                u"没有装好 WordPress 要用的 PHP 命令行“%1”（apt install php%2-cli）。"_s.arg(
                    site.phpCli, version)};
        site.installInput = SitePlan::wordPressInput(site, profile, email);
    } else if (parser.isSet(o.wordpressFrom) || parser.isSet(o.adminEmail)) {
        throw UsageError{u"--wordpress-from 和 --admin-email 只用于 --app wordpress。"_s};
    }

    // Everything checked before anything changes.
    if (const auto kept = readJournal(journalPath(layout, site.host)); kept && kept->removed)
        throw UsageError{u"站点 %1 已删除，但它的文件或数据库还在（%2）；先用 sitepass-cli site "
                         "remove %1 --delete-files --drop-database 删掉它们。"_s.arg(
                             site.host, journalPath(layout, site.host))};
    if (SiteFiles::exists(journalPath(layout, site.host)))
        throw UsageError{u"站点 %1 已有记录（%2）：它已建好或上次没有建完；请先 sitepass-cli site "
                         "remove %1。"_s.arg(site.host, journalPath(layout, site.host))};
    if (SiteUsers::userExists(site.user) || SiteUsers::groupExists(site.user))
        throw UsageError{u"用户或组“%1”已经存在。"_s.arg(site.user)};
    for (const QString &path : {site.siteRoot, site.poolFile, site.serverFile, site.serverLink})
        if (!path.isEmpty() && SiteFiles::exists(path))
            throw UsageError{u"“%1”已经存在，不会覆盖它。"_s.arg(path)};
    for (const QString &folder :
         {layout.poolFolder, QFileInfo(site.serverFile).absolutePath(),
          site.serverLink.isEmpty() ? QString() : QFileInfo(site.serverLink).absolutePath(),
          QFileInfo(site.siteRoot).absolutePath()})
        if (!folder.isEmpty() && !QFileInfo(folder).isDir())
            throw UsageError{u"文件夹“%1”不存在：%2 装好了吗？"_s.arg(folder, serverName(*server) +
                                                                                  u"、php-fpm"_s)};
    const auto existing = DatabaseAdministrator::run(
        *engine, {SqlScript::countExisting(*engine, site.database, site.databaseUser)});
    if (!existing.ok)
        throw UsageError{u"无法以管理员身份连接数据库服务器：%1"_s.arg(existing.error)};
    if (existing.value != u"0"_s)
        throw UsageError{u"数据库或数据库用户“%1”已经存在。"_s.arg(site.database)};
    if (const QString problem = stoppedServer(site); !problem.isEmpty())
        throw UsageError{problem + u"。"_s};
    if (const QStringList packages = missingPhpPackages(site); !packages.isEmpty())
        throw UsageError{u"%1 的 PHP（%2）缺少它要的扩展：先安装 apt install %3。"_s.arg(
            appName(site.app), programName(site.phpFpm), packages.join(u' '))};
    if (const QString problem = configurationProblem(site); !problem.isEmpty())
        throw UsageError{u"服务器现有的配置有错，先修好它：%1"_s.arg(problem)};

    // The vault opens before anything changes: a wrong master password stops the run here.
    std::unique_ptr<OpenedVault> vault;
    if (parser.isSet(o.vault)) {
        CoreDumps::disable();
        vault = openVault(call, parser.value(o.vault));
    }
    if (const QString problem = letReloadsWait(site); !problem.isEmpty())
        throw Failure{problem + u"；什么都没有改。"_s};

    SiteRun run{call, layout, {}};
    try {
        run.add(site);
    } catch (const StepFailed &failed) {
        const Undone undone = undo(run.journal, true, true);
        // What could not be undone stays in the record, for site remove to finish.
        if (undone.problems.isEmpty())
            SiteFiles::remove(journalPath(layout, site.host));
        else
            saveJournal(layout, run.journal);
        throw Failure{u"建站点 %1 失败：%2；%3"_s.arg(
            site.host, failed.message,
            undone.problems.isEmpty()
                ? u"已把做过的步骤全部撤销。"_s
                : u"撤销时又有问题：%1；记录文件留着，修好后运行 sitepass-cli site remove %2 "
                  "--drop-database --delete-files。"_s.arg(undone.problems.join(u"；"_s),
                                                           site.host))};
    }
    // The site stands: a vault that cannot take its accounts still leaves the report printed.
    if (vault) {
        try {
            storeProfile(call, *vault, profile,
                         site.engine == SqlScript::Dialect::PostgreSql ? u"127.0.0.1"_s
                                                                       : u"localhost"_s);
            saveVault(*vault, call.random, call.crypto);
        } catch (const Failure &e) {
            writeProfile(call, profile, token, output, out);
            throw Failure{
                u"站点 %1 已建好，报告已打印，但没能存进保险库：%2"_s.arg(site.host, e.message)};
        }
    }
    writeProfile(call, profile, token, output, out);
}

void remove(const Invocation &call)
{
    const Options &o = call.options;
    rejectOptions(call.parser,
                  o.passwordOptions() + o.profileOptions() + o.configOptions() + o.layoutOptions() +
                      QList<const QCommandLineOption *>{&o.count, &o.host, &o.showPassword, &o.app,
                                                        &o.server, &o.profile, &o.wordpressFrom,
                                                        &o.adminEmail},
                  u"site remove"_s);
    if (call.positional.size() != 3)
        throw UsageError{u"site remove 需要一个域名，例如 site remove example.com。"_s};
    requireRoot(u"remove"_s);
    const Layout layout;
    QString host;
    try {
        host = WebConfig::hostName(call.positional.at(2));
    } catch (const SitepassError &e) {
        throw UsageError{describeProfile(e, SqlScript::Dialect::MariaDb)};
    }
    const QString path = journalPath(layout, host);
    auto journal = readJournal(path);
    if (!journal)
        throw UsageError{u"没有站点 %1 的记录（%2）。"_s.arg(host, path)};
    if (journal->site.phpFpm.isEmpty()) { // written before the journal kept the programs
        Site &s = journal->site;
        const Layout debian = debianLayout(requirePhp(), s.server);
        const bool systemd = ServerPrograms::systemdRuns();
        s.phpFpm = debian.phpFpm;
        s.phpFpmPidFile = debian.phpFpmPidFile;
        s.webProgram = debian.webProgram;
        s.phpService = systemd ? debian.phpService : QString();
        s.webService = systemd ? debian.webService : QString();
    }
    letReloadsWait(journal->site); // at worst, this reload cuts what is in flight
    const Undone undone =
        undo(*journal, call.parser.isSet(o.dropDatabase), call.parser.isSet(o.deleteFiles));
    if (!undone.swept.isEmpty())
        call.err.write(
            (program + u": 删除了用户 %1 留在公共文件夹里的 %2 项：%3\n"_s.arg(journal->site.user)
                           .arg(undone.swept.size())
                           .arg(undone.swept.mid(0, 10).join(u"、"_s)))
                .toUtf8());
    if (!undone.problems.isEmpty()) {
        saveJournal(layout, *journal);
        throw Failure{u"删除站点 %1 时有问题：%2；记录文件留着，修好后可再运行一次。"_s.arg(
            host, undone.problems.join(u"；"_s))};
    }
    if (undone.userRemoved || !SiteUsers::userExists(journal->site.user)) {
        SiteFiles::remove(path);
        call.err.write((program + u": 已删除站点 %1。\n"_s.arg(host)).toUtf8());
        return;
    }
    journal->removed = true;
    if (const QString problem = saveJournal(layout, *journal); !problem.isEmpty())
        throw Failure{problem};
    QStringList kept;
    if (!journal->filesDeleted)
        kept << u"文件"_s;
    if (!journal->databaseDropped)
        kept << u"数据库"_s;
    call.err.write(
        (program + u": 已从服务器上撤下站点 %1；它的%2还在，它的用户 %3 也留着（已锁定，不再运行"
                   "任何程序），免得以后的站点分到同样的用户号而拥有它们。删除它们时运行 "
                   "sitepass-cli site remove %1 --delete-files --drop-database。\n"_s.arg(
                       host, kept.join(u"和"_s), journal->site.user))
            .toUtf8());
}

void list(const Invocation &call, ChunkedOutput &out)
{
    const Layout layout;
    QJsonArray sites;
    QString text;
    const QStringList names =
        QDir(layout.stateFolder).entryList({u"*.json"_s}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const auto j = readJournal(layout.stateFolder + u'/' + name);
        if (!j)
            continue;
        const Step last = j->site.app == App::WordPress ? Step::Install : Step::Check;
        const bool complete = !j->removed && !j->steps.isEmpty() && j->steps.last().first == last &&
                              j->steps.last().second;
        const Site &s = j->site;
        QJsonArray kept;
        if (j->removed && !j->filesDeleted)
            kept.append(u"files"_s);
        if (j->removed && !j->databaseDropped)
            kept.append(u"database"_s);
        sites.append(QJsonObject{{u"host"_s, s.host},
                                 {u"app"_s, appName(s.app)},
                                 {u"engine"_s, engineName(s.engine)},
                                 {u"server"_s, serverName(s.server)},
                                 {u"site_root"_s, s.siteRoot},
                                 {u"database"_s, s.database},
                                 {u"database_user"_s, s.databaseUser},
                                 {u"complete"_s, complete},
                                 {u"removed"_s, j->removed},
                                 {u"kept"_s, kept}});
        const QString state = j->removed ? u"已删除，数据保留"_s
                              : complete ? u"完成"_s
                                         : u"未完成"_s;
        text += u"%1\t%2\t%3\t%4\t%5\n"_s.arg(s.host, appName(s.app), engineName(s.engine),
                                              serverName(s.server), state);
    }
    out.write(call.parser.isSet(call.options.json)
                  ? QString::fromUtf8(QJsonDocument(sites).toJson())
                  : text);
}
} // namespace
#endif

void site(const Invocation &call, ChunkedOutput &out)
{
#ifdef Q_OS_WIN
    Q_UNUSED(call);
    Q_UNUSED(out);
    throw UsageError{u"site 在网站所在的 Linux 服务器上运行：它要在那里建用户、文件和数据库。"_s};
#else
    const QString verb = call.positional.value(1);
    if (verb != u"add"_s)
        rejectOptions(call.parser, call.options.vaultOptions(), u"site "_s + verb.left(20));
    if (verb == u"add"_s)
        add(call, out);
    else if (verb == u"remove"_s)
        remove(call);
    else if (verb == u"list"_s)
        list(call, out);
    else
        throw UsageError{u"site 的子命令应为 add、remove 或 list，收到“%1”。"_s.arg(verb.left(40))};
#endif
}

} // namespace CommandLine
