// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SitePlan.h"

#include "AppConfig.h"
#include "RandomSource.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>

using namespace Qt::StringLiterals;

namespace SitePlan {

namespace {
const QStringList stepNames = {u"user"_s,     u"folders"_s, u"database"_s,
                               u"settings"_s, u"pool"_s,    u"server_file"_s,
                               u"reload"_s,   u"check"_s,   u"install"_s};

// The statements of the script `sql` prints, without its comments and client commands.
QStringList statements(const QString &script)
{
    QStringList found;
    for (const QString &line : script.split(u'\n'))
        if (line.endsWith(u';') && !line.startsWith(u"--"_s) && !line.startsWith(u'\\'))
            found << line;
    return found;
}
} // namespace

std::optional<App> appNamed(QStringView name)
{
    if (name == u"php")
        return App::Php;
    if (name == u"laravel")
        return App::Laravel;
    if (name == u"wordpress")
        return App::WordPress;
    return std::nullopt;
}

std::optional<Server> serverNamed(QStringView name)
{
    if (name == u"nginx")
        return Server::Nginx;
    if (name == u"apache")
        return Server::Apache;
    return std::nullopt;
}

QString appName(App app)
{
    return app == App::Php ? u"php"_s : app == App::Laravel ? u"laravel"_s : u"wordpress"_s;
}

QString serverName(Server server)
{
    return server == Server::Nginx ? u"nginx"_s : u"apache"_s;
}

QString stepName(Step step)
{
    return stepNames.at(int(step));
}

std::optional<Step> stepNamed(QStringView name)
{
    const qsizetype at = stepNames.indexOf(name.toString());
    return at < 0 ? std::nullopt : std::optional<Step>(Step(at));
}

QString wordPressInstaller()
{
    return uR"(// Made by sitepass-cli: WordPress's own installer, its input on standard input.
$in = json_decode(stream_get_contents(STDIN), true);
if (!is_array($in)) { fwrite(STDERR, "no input
"); exit(1); }
define('WP_INSTALLING', true);
$_SERVER['HTTP_HOST'] = $in['host'];
$_SERVER['SERVER_NAME'] = $in['host'];
$_SERVER['REQUEST_URI'] = '/';
require $in['root'] . '/wp-load.php';
require_once ABSPATH . 'wp-admin/includes/upgrade.php';
// The report is the admin's word of the account: no mail; and no request to the site itself.
function wp_new_blog_notification() {}
add_filter('pre_http_request', function () { return new WP_Error('offline', 'offline'); });
if (is_blog_installed()) { fwrite(STDERR, "WordPress is installed in this database already
"); exit(1); }
$r = wp_install($in['title'], $in['user'], $in['email'], true, '', wp_slash($in['password']));
if (is_wp_error($r) || empty($r['user_id'])) {
    fwrite(STDERR, is_wp_error($r) ? $r->get_error_message() . "
" : "no admin account
");
    exit(1);
}
update_option('siteurl', $in['address']);
update_option('home', $in['address']);
echo "installed
";
)"_s;
}

QByteArray wordPressInput(const Site &site, const SiteTexts &profile, const QString &adminEmail)
{
    return QJsonDocument(QJsonObject{{u"root"_s, site.docRoot},
                                     {u"host"_s, site.host},
                                     {u"address"_s, site.address},
                                     {u"title"_s, profile.siteName},
                                     {u"user"_s, profile.adminUser},
                                     {u"password"_s, profile.adminPassword},
                                     {u"email"_s, adminEmail}})
        .toJson(QJsonDocument::Compact);
}

QString placeholder(const QString &host, const QString &token)
{
    return u"<?php\n// Made by sitepass-cli site add: replace it with the site's own.\n"
           "echo 'sitepass: %1 is served by its own pool as ', "
           "posix_getpwuid(posix_geteuid())['name'] ?? '?', ' (', bin2hex('%2'), \")\\n\";\n"_s.arg(
               host, token);
}

QString placeholderAnswer(const QString &host, const QString &user, const QString &token)
{
    return u"sitepass: %1 is served by its own pool as %2 (%3)\n"_s.arg(
        host, user, QString::fromLatin1(token.toLatin1().toHex()));
}

Site plan(const SiteTexts &profile, App app, SqlScript::Dialect engine, Server server,
          const WebConfig::Settings &given, const Layout &layout, RandomSource &random)
{
    WebConfig::Settings settings = given;
    // Laravel serves its public/ folder and keeps the rest above it.
    if (app == App::Laravel && settings.runDir.isEmpty())
        settings.runDir = u"public"_s;
    const auto webFormat =
        server == Server::Nginx ? WebConfig::Format::Nginx : WebConfig::Format::Apache;
    const WebSite pool = WebConfig::checkedSite(WebConfig::Format::PhpFpm, profile, settings);
    const WebSite web = WebConfig::checkedSite(webFormat, profile, settings);

    Site s;
    s.host = pool.host;
    s.app = app;
    s.engine = engine;
    s.server = server;
    s.user = pool.phpUser;
    s.webUser = pool.webUser;
    s.port = pool.port;
    s.socket = pool.socket;
    s.siteRoot = pool.siteRoot;
    s.docRoot = pool.docRoot;
    s.phpFolders = {pool.siteRoot + u"/.php"_s, pool.phpTempFolder(), pool.phpSessionFolder(),
                    pool.phpLogFolder()};
    s.uploadFolder = pool.phpTempFolder();
    s.logFolder = pool.logFolder;
    s.database = profile.tableName;
    s.databaseUser = profile.databaseUser;

    // The site's user reaches MariaDB on its socket (an account at localhost) and PostgreSQL
    // on loopback, where Debian's PostgreSQL asks a password of every user but the role's own.
    const bool postgres = engine == SqlScript::Dialect::PostgreSql;
    const AppConfig::Format format = app == App::Php       ? AppConfig::Format::Php
                                     : app == App::Laravel ? AppConfig::Format::Laravel
                                                           : AppConfig::Format::WordPress;
    s.settingsText = AppConfig::build(format, profile, engine,
                                      postgres ? u"127.0.0.1"_s : u"localhost"_s, random);
    s.settingsFile = app == App::WordPress ? s.docRoot + u"/wp-config.php"_s
                     : app == App::Laravel ? s.siteRoot + u"/.env"_s
                                           : s.siteRoot + u"/config.php"_s;
    s.databaseStatements = statements(SqlScript::build(
        engine, profile, postgres ? QString() : SqlScript::defaultHost.toString(), random));

    s.poolText = WebConfig::build(WebConfig::Format::PhpFpm, profile, settings);
    s.poolFile = layout.poolFolder + u'/' + pool.pool + u".conf"_s;
    s.serverText = WebConfig::build(webFormat, profile, settings);
    s.phpFpm = layout.phpFpm;
    s.phpFpmPidFile = layout.phpFpmPidFile;
    s.webProgram = layout.webProgram;
    s.phpService = layout.phpService;
    s.webService = layout.webService;
    if (!layout.serverFolder.isEmpty()) {
        s.serverFile = layout.serverFolder + u'/' + s.host + u".conf"_s;
    } else if (server == Server::Nginx) {
        s.serverFile = layout.nginxFolder + u"/sites-available/"_s + s.host;
        s.serverLink = layout.nginxFolder + u"/sites-enabled/"_s + s.host;
    } else {
        s.serverFile = layout.apacheFolder + u"/sites-available/"_s + s.host + u".conf"_s;
        s.serverLink = layout.apacheFolder + u"/sites-enabled/"_s + s.host + u".conf"_s;
        s.apacheModules = {u"proxy_fcgi"_s};
        if (!web.certificate.isEmpty())
            s.apacheModules << u"ssl"_s << u"rewrite"_s;
    }
    static constexpr QStringView alphabet = u"abcdefghijklmnopqrstuvwxyz0123456789";
    std::array<qsizetype, 24> drawn;
    random.positions(alphabet.size(), drawn.data(), qsizetype(drawn.size()));
    QString token;
    for (qsizetype p : drawn)
        token += alphabet.at(p - 1);
    s.placeholderText = placeholder(s.host, token);
    s.serverLogs = {web.log(u"access"), web.log(u"error")};
    s.checkAnswer = placeholderAnswer(s.host, s.user, token);
    s.address = !web.certificate.isEmpty()
                    ? web.httpsUrl()
                    : u"http://"_s + s.host + (s.port == u"80"_s ? QString() : u':' + s.port);
    return s;
}

QList<PhpExtension> phpExtensions(App app, SqlScript::Dialect engine)
{
    const bool postgres = engine == SqlScript::Dialect::PostgreSql;
    const PhpExtension xml{u"xml"_s, u"php-xml"_s}, dom{u"dom"_s, u"php-xml"_s},
        mbstring{u"mbstring"_s, u"php-mbstring"_s}, curl{u"curl"_s, u"php-curl"_s};
    switch (app) {
    case App::WordPress:
        return {xml,      dom,  {u"mysqli"_s, u"php-mysql"_s}, {u"gd"_s, u"php-gd"_s},
                mbstring, curl, {u"zip"_s, u"php-zip"_s}};
    case App::Laravel:
        return {postgres ? PhpExtension{u"pdo_pgsql"_s, u"php-pgsql"_s}
                         : PhpExtension{u"pdo_mysql"_s, u"php-mysql"_s},
                mbstring, xml, dom, curl};
    case App::Php:
        break;
    }
    // A plain PHP site reaches its database with the engine's own extension.
    return {postgres ? PhpExtension{u"pgsql"_s, u"php-pgsql"_s}
                     : PhpExtension{u"mysqli"_s, u"php-mysql"_s}};
}

Layout debianLayout(const QString &phpVersion, Server server)
{
    Layout layout;
    layout.poolFolder = u"/etc/php/%1/fpm/pool.d"_s.arg(phpVersion);
    layout.phpFpm = u"/usr/sbin/php-fpm"_s + phpVersion;
    layout.phpFpmPidFile = u"/run/php/php%1-fpm.pid"_s.arg(phpVersion);
    layout.webProgram = server == Server::Nginx ? u"nginx"_s : u"apache2ctl"_s;
    layout.phpService = u"php%1-fpm"_s.arg(phpVersion);
    layout.webService = server == Server::Nginx ? u"nginx"_s : u"apache2"_s;
    return layout;
}

namespace {
// The journal's names for the site's texts and lists, written and read alike.
const std::pair<const char *, QString Site::*> textFields[] = {
    {"host", &Site::host},
    {"user", &Site::user},
    {"web_user", &Site::webUser},
    {"port", &Site::port},
    {"socket", &Site::socket},
    {"site_root", &Site::siteRoot},
    {"doc_root", &Site::docRoot},
    {"log_folder", &Site::logFolder},
    {"database", &Site::database},
    {"database_user", &Site::databaseUser},
    {"settings_file", &Site::settingsFile},
    {"pool_file", &Site::poolFile},
    {"server_file", &Site::serverFile},
    {"server_link", &Site::serverLink},
    {"php_fpm", &Site::phpFpm},
    {"php_fpm_pid_file", &Site::phpFpmPidFile},
    {"web_program", &Site::webProgram},
    {"php_service", &Site::phpService},
    {"web_service", &Site::webService},
};
const std::pair<const char *, QStringList Site::*> listFields[] = {
    {"php_folders", &Site::phpFolders},
    {"apache_modules", &Site::apacheModules},
    {"server_logs", &Site::serverLogs},
};
const std::pair<const char *, bool Journal::*> flagFields[] = {
    {"made_log_folder", &Journal::madeLogFolder},
    {"removed", &Journal::removed},
    {"database_dropped", &Journal::databaseDropped},
    {"files_deleted", &Journal::filesDeleted},
};
} // namespace

QString engineName(SqlScript::Dialect engine)
{
    return engine == SqlScript::Dialect::PostgreSql ? u"postgresql"_s : u"mariadb"_s;
}

QByteArray write(const Journal &journal)
{
    const Site &s = journal.site;
    QJsonArray steps;
    for (const auto &[step, done] : journal.steps)
        steps.append(QJsonObject{{u"step"_s, stepName(step)},
                                 {u"state"_s, done ? u"done"_s : u"started"_s}});
    QJsonObject o{
        {u"app"_s, appName(s.app)},
        {u"engine"_s, engineName(s.engine)},
        {u"server"_s, serverName(s.server)},
        {u"steps"_s, steps},
    };
    for (const auto &[key, member] : textFields)
        o.insert(QLatin1String(key), s.*member);
    for (const auto &[key, member] : listFields)
        o.insert(QLatin1String(key), QJsonArray::fromStringList(s.*member));
    for (const auto &[key, member] : flagFields)
        o.insert(QLatin1String(key), journal.*member);
    return QJsonDocument(o).toJson();
}

std::optional<Journal> read(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject o = document.object();
    Journal j;
    Site &s = j.site;
    for (const auto &[key, member] : textFields)
        s.*member = o.value(QLatin1String(key)).toString();
    for (const auto &[key, member] : listFields)
        for (const QJsonValue &v : o.value(QLatin1String(key)).toArray())
            (s.*member) << v.toString();
    const auto app = appNamed(o.value(u"app"_s).toString());
    const auto server = serverNamed(o.value(u"server"_s).toString());
    const auto engine = SqlScript::dialectNamed(o.value(u"engine"_s).toString());
    if (!app || !server || !engine || s.host.isEmpty())
        return std::nullopt;
    s.app = *app;
    s.server = *server;
    s.engine = *engine;
    for (const auto &[key, member] : flagFields)
        j.*member = o.value(QLatin1String(key)).toBool();
    for (const QJsonValue &v : o.value(u"steps"_s).toArray()) {
        const auto step = stepNamed(v.toObject().value(u"step"_s).toString());
        if (!step)
            return std::nullopt;
        j.steps.append({*step, v.toObject().value(u"state"_s).toString() == u"done"_s});
    }
    return j;
}

} // namespace SitePlan
