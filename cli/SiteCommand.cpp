// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteCommand.h"

#include "ChunkedOutput.h"
#include "PasswordCommands.h"
#include "SitePlan.h"
#include "SitepassError.h"

#ifndef Q_OS_WIN
#include "DatabaseAdministrator.h"
#include "ServerPrograms.h"
#include "SiteFiles.h"
#include "SiteUsers.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QThread>
#include <csignal>
#include <unistd.h>
#endif

namespace CommandLine {

#ifndef Q_OS_WIN
namespace {
using namespace SitePlan;

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

QString lastLine(const QString &output)
{
    const QStringList lines = output.trimmed().split(u'\n');
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}

QString programName(const QString &program)
{
    return QFileInfo(program).fileName();
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
    for (int tries = 0; tries < 100 && SiteFiles::exists(site.socket) != pool; ++tries)
        QThread::msleep(100);
    QThread::msleep(300);
    if (!site.webService.isEmpty()) {
        const auto r = ServerPrograms::run(u"systemctl"_s, {u"reload"_s, site.webService});
        return r.ok() ? QString()
                      : u"systemctl reload %1：%2"_s.arg(site.webService, r.output.trimmed());
    }
    const ServerPrograms::Run web = ServerPrograms::run(
        site.webProgram, site.server == Server::Nginx ? QStringList{u"-s"_s, u"reload"_s}
                                                      : QStringList{u"graceful"_s});
    return web.ok() ? QString()
                    : u"%1：%2"_s.arg(programName(site.webProgram), web.output.trimmed());
}

struct SiteRun
{
    const Invocation &call;
    Layout layout;
    Journal journal;

    void save()
    {
        QDir().mkpath(layout.stateFolder);
        QFile::setPermissions(layout.stateFolder,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSaveFile file(journalPath(layout, journal.site.host));
        if (!file.open(QIODevice::WriteOnly) ||
            !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
            file.write(SitePlan::write(journal)) < 0 || !file.commit())
            throw StepFailed{u"无法写入记录文件“%1”：%2"_s.arg(
                journalPath(layout, journal.site.host), file.errorString())};
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
            // PHP's own folders are the site's alone.
            QList<std::tuple<QString, QString, QString, int, QString>> list = {
                {site.siteRoot, user, web, 0750, {}}};
            for (const QString &folder : site.phpFolders)
                list.append({folder, user, user, 0700, {}});
            if (site.docRoot != site.siteRoot)
                list.append({site.docRoot, user, web, 0750, {}});
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
        step(Step::Check, [&] {
            const QString expected =
                u"sitepass: %1 is served by its own pool as %2"_s.arg(site.host, user);
            const QString address = call.parser.value(call.options.listenAddress);
            QString got;
            for (int tries = 0; tries < 50 && !got.startsWith(expected); ++tries) {
                if (tries)
                    QThread::msleep(200);
                got = ServerPrograms::fetch(address.isEmpty() ? u"127.0.0.1"_s : address, site.port,
                                            site.host);
            }
            return got.startsWith(expected)
                       ? QString()
                       : u"http://%1:%2/ 没有经站点自己的进程池答出占位页（得到“%3”）"_s.arg(
                             site.host, site.port, got.left(80).trimmed());
        });
    }
};

// Takes away what the journal says was begun, in reverse; what cannot be taken away is said.
QStringList undo(const Journal &j, bool dropDatabase, bool deleteFiles)
{
    const Site &s = j.site;
    const auto begun = [&](Step step) {
        return std::any_of(j.steps.cbegin(), j.steps.cend(),
                           [&](const auto &entry) { return entry.first == step; });
    };
    QStringList problems;
    const auto removed = [&](const QString &path) {
        if (const int error = SiteFiles::remove(path))
            problems << u"无法删除“%1”：%2"_s.arg(path, words(error));
    };
    if (begun(Step::ServerFile)) {
        if (!s.serverLink.isEmpty())
            removed(s.serverLink);
        removed(s.serverFile);
    }
    if (begun(Step::Pool))
        removed(s.poolFile);
    // The servers let go of the site before its user goes: php-fpm would not start a pool
    // whose user is missing.
    if (begun(Step::Reload))
        if (const QString p = reload(s, false); !p.isEmpty())
            problems << p;
    if (begun(Step::Database) && dropDatabase) {
        const auto result = DatabaseAdministrator::run(
            s.engine, SqlScript::drop(s.engine, s.database, s.databaseUser,
                                      SqlScript::defaultHost.toString()));
        if (!result.ok)
            problems << u"数据库：%1"_s.arg(result.error);
    }
    if (begun(Step::Settings) && deleteFiles)
        removed(s.settingsFile);
    if (begun(Step::Folders) && deleteFiles) {
        removed(s.siteRoot);
        removed(s.logFolder + u'/' + s.host + u".slow.log"_s);
        if (j.madeLogFolder)
            QDir().rmdir(s.logFolder); // only where nothing else was put there
    }
    if (begun(Step::User))
        if (const QString p = SiteUsers::removeUser(s.user); !p.isEmpty())
            problems << u"userdel %1：%2"_s.arg(s.user, p);
    return problems;
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
    }
    Site site;
    try {
        site = plan(profile, *app, *engine, *server, settings, layout, call.random);
    } catch (const SitepassError &e) {
        throw UsageError{describeProfile(e, *engine)};
    }

    // Everything checked before anything changes.
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
    if (const QString problem = configurationProblem(site); !problem.isEmpty())
        throw UsageError{u"服务器现有的配置有错，先修好它：%1"_s.arg(problem)};

    SiteRun run{call, layout, {}};
    try {
        run.add(site);
    } catch (const StepFailed &failed) {
        const QStringList problems = undo(run.journal, true, true);
        QFile::remove(journalPath(layout, site.host));
        throw Failure{u"建站点 %1 失败：%2；%3"_s.arg(
            site.host, failed.message,
            problems.isEmpty() ? u"已把做过的步骤全部撤销。"_s
                               : u"撤销时又有问题：%1"_s.arg(problems.join(u"；"_s)))};
    }
    writeProfile(call, profile, token, output, out);
}

void remove(const Invocation &call)
{
    const Options &o = call.options;
    rejectOptions(call.parser,
                  o.passwordOptions() + o.profileOptions() + o.configOptions() + o.layoutOptions() +
                      QList<const QCommandLineOption *>{&o.count, &o.host, &o.showPassword, &o.app,
                                                        &o.server, &o.profile},
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
    const QStringList problems =
        undo(*journal, call.parser.isSet(o.dropDatabase), call.parser.isSet(o.deleteFiles));
    if (!problems.isEmpty())
        throw Failure{u"删除站点 %1 时有问题：%2；记录文件留着，修好后可再运行一次。"_s.arg(
            host, problems.join(u"；"_s))};
    QFile::remove(path);
    call.err.write(
        (program +
         u": 已删除站点 %1。%2\n"_s.arg(
             host, call.parser.isSet(o.dropDatabase) && call.parser.isSet(o.deleteFiles)
                       ? QString()
                       : u"它的文件和数据库（未加 --delete-files、--drop-database 的）都还在。"_s))
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
        const bool complete =
            !j->steps.isEmpty() && j->steps.last().first == Step::Check && j->steps.last().second;
        const Site &s = j->site;
        sites.append(QJsonObject{{u"host"_s, s.host},
                                 {u"app"_s, appName(s.app)},
                                 {u"engine"_s, engineName(s.engine)},
                                 {u"server"_s, serverName(s.server)},
                                 {u"site_root"_s, s.siteRoot},
                                 {u"complete"_s, complete}});
        text +=
            u"%1\t%2\t%3\t%4\t%5\n"_s.arg(s.host, appName(s.app), engineName(s.engine),
                                          serverName(s.server), complete ? u"完成"_s : u"未完成"_s);
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
    rejectOptions(call.parser, call.options.vaultOptions(), u"site"_s);
    const QString verb = call.positional.value(1);
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
