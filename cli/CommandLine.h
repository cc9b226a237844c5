// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppConfig.h"
#include "Password.h"
#include "PasswordSettings.h"
#include "SiteProfile.h"
#include "SqlScript.h"
#include "TestStops.h"
#include "VaultCrypto.h"
#include "WebConfig.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

class Clock;
class QIODevice;
class RandomSource;
class SitepassError;

// What every sitepass-cli verb shares: the options, their checking, reading a profile, and the
// messages for what can go wrong.
namespace CommandLine {

using namespace Qt::StringLiterals;

inline const QString program = u"sitepass-cli"_s;
inline constexpr qsizetype maxCount = 1000000;
inline constexpr int maxPort = 65535;

// Bad input: reported with the option it concerns, exit status 2.
struct UsageError
{
    QString message;
};

struct Options
{
    QCommandLineOption length{u"length"_s,
                              u"密码长度（1 到 %1，默认 %2）。"_s.arg(Password::maxLength)
                                  .arg(PasswordSettings::defaultLengthText),
                              u"N"_s, PasswordSettings::defaultLengthText.toString()};
    QCommandLineOption noUpper{u"no-upper"_s, u"不用大写字母 A-Z。"_s};
    QCommandLineOption noLower{u"no-lower"_s, u"不用小写字母 a-z。"_s};
    QCommandLineOption noDigits{u"no-digits"_s, u"不用数字 0-9。"_s};
    QCommandLineOption special{
        u"special"_s, u"加入默认的特殊字符 %1。"_s.arg(PasswordSettings::defaultSpecialText)};
    QCommandLineOption specialChars{u"special-chars"_s, u"加入这些特殊字符（代替默认的一组）。"_s,
                                    u"字符"_s};
    QCommandLineOption everyClass{u"every-class"_s,
                                  u"每个选用的字符类别在每个密码里至少出现一次。"_s};
    QCommandLineOption count{u"count"_s, u"生成几个密码（1 到 %1，默认 1）。"_s.arg(maxCount),
                             u"K"_s, u"1"_s};
    QCommandLineOption port{
        u"port"_s, u"站点端口（1 到 %1，默认 %2）。"_s.arg(maxPort).arg(SiteProfile::defaultPort),
        u"端口"_s, SiteProfile::defaultPort.toString()};
    QCommandLineOption adminPath{u"admin-path"_s,
                                 u"管理员后台（默认 %1）。"_s.arg(SiteProfile::defaultAdminPath),
                                 u"路径"_s, SiteProfile::defaultAdminPath.toString()};
    QCommandLineOption adminUser{u"admin-user"_s,
                                 u"管理员用户（默认 %1）。"_s.arg(SiteProfile::defaultAdminUser),
                                 u"用户"_s, SiteProfile::defaultAdminUser.toString()};
    QCommandLineOption crlf{u"crlf"_s, u"报告按剪贴板的原样以 CR LF 换行。"_s};
    QCommandLineOption json{u"json"_s, u"以一个 JSON 对象输出站点资料。"_s};
    QCommandLineOption host{u"host"_s,
                            u"新账户的主机部分（默认 %1）。"_s.arg(SqlScript::defaultHost),
                            u"主机"_s, SqlScript::defaultHost.toString()};
    QCommandLineOption engine{u"engine"_s,
                              u"数据库：mariadb、mysql 或 postgresql（默认 mariadb）。"_s,
                              u"数据库"_s, u"mariadb"_s};
    QCommandLineOption dbHost{u"db-host"_s,
                              u"应用连接数据库的主机（默认 %1）。"_s.arg(AppConfig::defaultDbHost),
                              u"主机"_s, AppConfig::defaultDbHost.toString()};
    QCommandLineOption output{u"output"_s,
                              u"写入一个新文件（权限 0600，不覆盖已有的文件），而不是标准输出。"_s,
                              u"文件"_s};
    QCommandLineOption group{u"group"_s, u"与 --output 同用：新文件权限 0640，属于这个组。"_s,
                             u"组"_s};
    QCommandLineOption siteRoot{
        u"site-root"_s,
        u"站点文件所在的文件夹（默认 %1/站点目录）。"_s.arg(WebConfig::defaultSiteRootFolder),
        u"文件夹"_s};
    QCommandLineOption runDir{
        u"run-dir"_s, u"网站只提供站点文件夹下的这个子文件夹（Laravel 为 public）。"_s, u"名称"_s};
    QCommandLineOption phpUser{
        u"php-user"_s, u"PHP-FPM 进程池运行的用户（默认站点自己的用户 site-主机名，. 换成 _）。"_s,
        u"用户"_s};
    QCommandLineOption webUser{u"web-user"_s,
                               u"Web 服务器的用户，唯一能连接 PHP 套接字的用户（默认 %1）。"_s.arg(
                                   WebConfig::defaultWebUser),
                               u"用户"_s, WebConfig::defaultWebUser.toString()};
    QCommandLineOption phpSocket{
        u"php-socket"_s,
        u"PHP-FPM 的套接字（默认 %1/站点目录.sock）。"_s.arg(WebConfig::defaultSocketFolder),
        u"文件"_s};
    QCommandLineOption listenAddress{u"listen-address"_s,
                                     u"只在这个 IP 地址上监听（默认所有地址）。"_s, u"地址"_s};
    QCommandLineOption adminAllow{u"admin-allow"_s,
                                  u"只有这些地址或网段能访问管理员后台（可重复；默认不限制）。"_s,
                                  u"地址"_s};
    QCommandLineOption tlsCertificate{u"tls-certificate"_s,
                                      u"HTTPS 证书文件（与 --tls-key 同用）。"_s, u"文件"_s};
    QCommandLineOption tlsKey{u"tls-key"_s, u"HTTPS 私钥文件（与 --tls-certificate 同用）。"_s,
                              u"文件"_s};
    QCommandLineOption tlsPort{u"tls-port"_s,
                               u"HTTPS 端口（默认 %1）。"_s.arg(WebConfig::defaultTlsPort),
                               u"端口"_s, WebConfig::defaultTlsPort.toString()};
    QCommandLineOption maxUpload{
        u"max-upload"_s,
        u"上传和请求体最大多少 MB（1 到 %1，默认 %2），进程池和 Web 服务器一致。"_s
            .arg(WebConfig::maxUploadLimit)
            .arg(WebConfig::defaultMaxUpload),
        u"MB"_s, WebConfig::defaultMaxUpload.toString()};
    QCommandLineOption logDir{
        u"log-dir"_s,
        u"站点日志所在的文件夹（默认 nginx 为 %1，apache 为 %2，php-fpm 的慢日志为 %3）。"_s.arg(
            WebConfig::defaultNginxLogFolder, WebConfig::defaultApacheLogFolder,
            WebConfig::defaultPhpFpmLogFolder),
        u"文件夹"_s};
    QCommandLineOption app{u"app"_s, u"site add：网站程序，php、laravel 或 wordpress。"_s,
                           u"程序"_s};
    QCommandLineOption server{u"server"_s, u"site add：Web 服务器，nginx（默认）或 apache。"_s,
                              u"服务器"_s, u"nginx"_s};
    QCommandLineOption profile{
        u"profile"_s, u"site add：用这份站点资料（profile --json 的文件），而不是新生成一份。"_s,
        u"文件"_s};
    QCommandLineOption poolDir{
        u"pool-dir"_s, u"site add：php-fpm 读取进程池的文件夹（默认 /etc/php/X.Y/fpm/pool.d）。"_s,
        u"文件夹"_s};
    QCommandLineOption serverDir{
        u"server-dir"_s,
        u"site add：Web 服务器读取其中全部 .conf 的文件夹，如 LNMP 的 vhost（默认 Debian 的 "
        "sites-available，并从 sites-enabled 链接）。"_s,
        u"文件夹"_s};
    QCommandLineOption phpFpm{
        u"php-fpm"_s,
        u"site add：php-fpm 程序（默认 /usr/sbin/php-fpmX.Y；给出时也要 --pool-dir 和 --php-fpm-pid）。"_s,
        u"程序"_s};
    QCommandLineOption phpFpmPid{
        u"php-fpm-pid"_s,
        u"site add：php-fpm 的 pid 文件，重载时向它发信号（默认用 systemctl 或 /run/php/phpX.Y-fpm.pid）。"_s,
        u"文件"_s};
    QCommandLineOption serverProgram{
        u"server-program"_s,
        u"site add：nginx 或 apachectl 程序，检查和重载都用它（默认 PATH 里的 nginx、apache2ctl）。"_s,
        u"程序"_s};
    QCommandLineOption wordpressFrom{
        u"wordpress-from"_s,
        u"site add：WordPress 的文件从这个 root 的文件夹来（解开的 WordPress；默认 Debian 的 "
        "/usr/share/wordpress）。"_s,
        u"文件夹"_s};
    QCommandLineOption adminEmail{
        u"admin-email"_s, u"site add：WordPress 管理员的电子邮件地址（默认 admin@域名）。"_s,
        u"地址"_s};
    QCommandLineOption dropDatabase{u"drop-database"_s,
                                    u"site remove：也删除站点的数据库和数据库用户。"_s};
    QCommandLineOption deleteFiles{u"delete-files"_s, u"site remove：也删除站点的文件夹。"_s};
    QCommandLineOption vault{u"vault"_s,
                             u"也把站点的账户存进这个 KeePass 保险库（KDBX；主密码在终端上输入，"
                             "或是标准输入的第一行）。"_s,
                             u"文件"_s};
    QCommandLineOption keyFile{u"key-file"_s, u"打开保险库也要用的密钥文件。"_s, u"文件"_s};
    QCommandLineOption noPassword{u"no-password"_s,
                                  u"保险库没有主密码，只用 --key-file（不读主密码）。"_s};
    QCommandLineOption showPassword{u"show-password"_s,
                                    u"把新密码打印到标准输出（一行，供密码管理器或脚本读取）。"_s};
    QCommandLineOption help{{u"h"_s, u"help"_s}, u"显示本帮助。"_s};
    QCommandLineOption version{{u"v"_s, u"version"_s}, u"显示版本。"_s};

    QList<const QCommandLineOption *> passwordOptions() const
    {
        return {&length, &noUpper, &noLower, &noDigits, &special, &specialChars, &everyClass};
    }
    QList<const QCommandLineOption *> profileOptions() const
    {
        return {&port, &adminPath, &adminUser, &crlf, &json};
    }
    // For every config format, then those of the application formats and of the web formats.
    QList<const QCommandLineOption *> fileOptions() const { return {&output, &group}; }
    QList<const QCommandLineOption *> appOptions() const { return {&engine, &dbHost}; }
    QList<const QCommandLineOption *> webOptions() const
    {
        return {&siteRoot,   &runDir,         &phpUser, &webUser, &phpSocket, &listenAddress,
                &adminAllow, &tlsCertificate, &tlsKey,  &tlsPort, &maxUpload, &logDir};
    }
    QList<const QCommandLineOption *> configOptions() const
    {
        return fileOptions() + appOptions() + webOptions();
    }
    QList<const QCommandLineOption *> layoutOptions() const
    {
        return {&poolDir, &serverDir, &phpFpm, &phpFpmPid, &serverProgram};
    }
    QList<const QCommandLineOption *> siteOptions() const
    {
        return {&app,           &server,     &profile,      &poolDir,
                &serverDir,     &phpFpm,     &phpFpmPid,    &serverProgram,
                &wordpressFrom, &adminEmail, &dropDatabase, &deleteFiles};
    }
    QList<const QCommandLineOption *> vaultOptions() const
    {
        return {&vault, &keyFile, &noPassword};
    }
    QList<const QCommandLineOption *> all() const
    {
        return passwordOptions() + QList<const QCommandLineOption *>{&count} + profileOptions() +
               QList<const QCommandLineOption *>{&host} + configOptions() + siteOptions() +
               vaultOptions() + QList<const QCommandLineOption *>{&showPassword, &help, &version};
    }
};

// A failure the verb words itself, exit status 1.
struct Failure
{
    QString message;
};

// One command line as the verbs see it.
struct Invocation
{
    const QCommandLineParser &parser;
    const Options &options;
    QStringList positional; // the verb first
    RandomSource &random;
    const Clock &clock;
    VaultCrypto &crypto;
    QIODevice &in;
    QIODevice &err; // for what a verb reports beside its output
};

// QCommandLineParser takes whatever follows an option as its value and words its errors in
// English. Checked first: unknown options, flags given a value, and values that are missing or
// are the next option (a value that starts with "--" can still be given as --option=value).
void checkOptions(const QStringList &arguments, const Options &o);

// Refuses, naming it, any of `options` given to `command`.
void rejectOptions(const QCommandLineParser &parser,
                   const QList<const QCommandLineOption *> &options, const QString &command);

// Refuses a value with a control character, line break or lone surrogate.
void refuseControlCharacters(const QString &option, QStringView value);

// The profile in FILE, or standard input for none or "-", read as the sql verb reads it. Every
// refusal is a UsageError; `dialect` words the name limits.
SiteTexts readSiteProfile(const QString &file, QIODevice &in, SqlScript::Dialect dialect);

// What a profile or a name was refused for, as the user sees the field.
QString describeProfile(const SitepassError &error, SqlScript::Dialect dialect);

// A value refused for a web server's configuration, naming its field.
QString describeWebValue(const QString &field, const QString &value);

// A failure after the options were read (the clock, mostly).
QString describe(const SitepassError &error);

// The settings or a profile hold a password: a new file, readable by its owner alone (or its
// group too), that appears only when complete and never over one that is there.
void writeNewFile(const QString &name, const QString &text, const QString &group);
// --output and --group as given: both checked; empty where the text goes to standard output.
struct OutputFile
{
    QString name, group;
};
OutputFile outputFile(const QCommandLineParser &parser, const Options &o);

// The web options as the formats take them. Refuses one given empty, a certificate without its
// key and a TLS port without either.
WebConfig::Settings webSettingsFrom(const QCommandLineParser &parser, const Options &o);

// A failed write in the user's words; errno's own text would be English.
QString describeWriteFailure(int error);
// Why a file could not be made, in the user's words.
QString describeCreateFailure(int error);

} // namespace CommandLine
