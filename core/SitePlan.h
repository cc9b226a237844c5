// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SiteProfile.h"
#include "SqlScript.h"
#include "WebConfig.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class RandomSource;

// A whole site on one server as data: every part it is made of, where it goes, its text, and the
// order the parts are made in (each undone in reverse). `site add` runs it, `site remove` and a
// failed add undo it; its journal names the parts and never a password.
namespace SitePlan {

enum class App { Php, Laravel, WordPress };
enum class Server { Nginx, Apache };

// "php", "laravel" or "wordpress"; "nginx" or "apache".
std::optional<App> appNamed(QStringView name);
std::optional<Server> serverNamed(QStringView name);
QString appName(App app);
QString serverName(Server server);
// "mariadb" or "postgresql", as --engine names them.
QString engineName(SqlScript::Dialect engine);

// Where the servers keep their files and how they are reloaded: Debian's unless another layout
// (LNMP, a hosting panel) names its own.
struct Layout
{
    QString poolFolder; // /etc/php/X.Y/fpm/pool.d of the PHP that is installed
    QString nginxFolder = QStringLiteral("/etc/nginx");
    QString apacheFolder = QStringLiteral("/etc/apache2");
    // A folder the web server reads every file of (no sites-enabled, no a2enmod); empty for
    // Debian's sites-available linked from sites-enabled.
    QString serverFolder;
    QString phpFpm;        // the program, /usr/sbin/php-fpmX.Y
    QString phpFpmPidFile; // signalled to reload where no service is named
    QString webProgram;    // nginx or apache2ctl
    // systemd's units, reloaded through systemctl where systemd runs; empty: the programs' own way
    QString phpService, webService;
    QString stateFolder = QStringLiteral("/var/lib/sitepass");
};

// Debian's layout for the PHP version that is installed and the server.
Layout debianLayout(const QString &phpVersion, Server server);

// The PHP extensions an application needs on its engine, each with the Debian package that
// brings it (without its version: php-xml, php8.2-xml for PHP 8.2).
struct PhpExtension
{
    QString module;  // as `php -m` lists it, in lower case
    QString package; // "php-xml"
};
QList<PhpExtension> phpExtensions(App app, SqlScript::Dialect engine);

// The parts, in the order they are made.
enum class Step { User, Folders, Database, Settings, Pool, ServerFile, Reload, Check, Install };
inline constexpr Step allSteps[] = {Step::User,     Step::Folders, Step::Database,
                                    Step::Settings, Step::Pool,    Step::ServerFile,
                                    Step::Reload,   Step::Check,   Step::Install};
QString stepName(Step step);
std::optional<Step> stepNamed(QStringView name);

struct Site
{
    QString host; // punycode, lower case: the journal's and the server file's name
    App app = App::Php;
    SqlScript::Dialect engine = SqlScript::Dialect::MariaDb;
    Server server = Server::Nginx;
    QString user; // the site's system user and group
    QString webUser;
    QString port;
    QString socket; // the pool's
    QString siteRoot, docRoot;
    QStringList phpFolders; // the site's own: temporary files, sessions, PHP's error log
    QString uploadFolder;   // among them, where PHP receives uploads
    QString logFolder;      // the pool's slow log
    QString database, databaseUser;
    QString settingsFile, poolFile, serverFile, serverLink;
    QStringList serverLogs; // the web server's logs of this site, made before it opens them
    QStringList apacheModules;
    // How the servers are checked and reloaded, kept so that remove needs no options.
    QString phpFpm, phpFpmPidFile, webProgram, phpService, webService;
    // Only while it is made: the texts and statements, which hold the password or its hash.
    QString settingsText, poolText, serverText, placeholderText;
    // What the placeholder answers only when PHP runs it in the site's own pool: a value drawn
    // for this add, which whoever else holds the port cannot know.
    QString checkAnswer;
    // The site's address as its visitors type it: the port when it is not the scheme's own.
    QString address;
    // WordPress's files, the PHP that installs it and the installer's input (the admin's
    // password in it), where it is installed.
    QString wordpressFrom, phpCli;
    QByteArray installInput;
    QStringList databaseStatements;
};

// The site for a profile, every value checked as the config formats check them. Throws
// SitepassError.
Site plan(const SiteTexts &profile, App app, SqlScript::Dialect engine, Server server,
          const WebConfig::Settings &settings, const Layout &layout, RandomSource &random);

// WordPress's own installer, run with the site's PHP as the site's user, for the site's
// WordPress files (`root`): it reads its input (installInput) on standard input, makes the
// tables and the admin account with wp_install(), sets the site's address, and says
// "installed". It sends no mail and asks nothing of the network.
QString wordPressInstaller();
QByteArray wordPressInput(const Site &site, const SiteTexts &profile, const QString &adminEmail);

// What the site root serves until the application is put there; the check asks for it. It
// prints `token` hex-encoded, so that the file served as text would not pass for its answer.
QString placeholder(const QString &host, const QString &token);
// The first line the placeholder answers as `user`.
QString placeholderAnswer(const QString &host, const QString &user, const QString &token);

// The journal: the site's names and paths and each step with its state ("started", "done"),
// no password and no text; and the site read back from one. read() gives nothing for what is
// not a journal.
struct Journal
{
    Site site;
    QList<std::pair<Step, bool>> steps; // the step and whether it was done
    bool madeLogFolder = false;         // the slow log's folder was not there before
    // Taken off the servers with its files or database kept: its user stays, locked, so that
    // no later site is given its ids while they own something.
    bool removed = false;
    bool databaseDropped = false, filesDeleted = false;
};
QByteArray write(const Journal &journal);
std::optional<Journal> read(const QByteArray &bytes);

} // namespace SitePlan
