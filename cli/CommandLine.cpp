// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "SitepassError.h"
#include "TextServices.h"

#include "ChunkedOutput.h"
#include "NewFile.h"
#include "OpenedFolder.h"

#include <QFile>
#include <QIODevice>
#include <cerrno>
#include <cstdlib>

namespace CommandLine {

namespace {
// A profile is well under a kilobyte; more is not one, and is not read into memory whole.
constexpr qint64 maxProfileBytes = 1 << 20;

// What the user typed for an option, as they typed it: "--port" of "--port=80".
QString typedName(const QString &argument)
{
    return argument.section(u'=', 0, 0).left(40);
}

} // namespace

void checkOptions(const QStringList &arguments, const Options &o)
{
    const QList<const QCommandLineOption *> all = o.all();
    const auto find = [&](QStringView name) -> const QCommandLineOption * {
        for (const QCommandLineOption *option : all)
            if (option->names().contains(name))
                return option;
        return nullptr;
    };
    const auto isOption = [&](const QString &argument) {
        return argument.startsWith(u"--"_s) ||
               (argument.size() > 1 && argument.startsWith(u'-') && find(argument.mid(1)));
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--"_s)
            return;
        if (argument.size() < 2 || !argument.startsWith(u'-'))
            continue;
        const bool isLong = argument.startsWith(u"--"_s);
        const QString name = argument.mid(isLong ? 2 : 1).section(u'=', 0, 0);
        const QCommandLineOption *option = find(name);
        if (!option || (!isLong && name.size() != 1))
            throw UsageError{
                u"未知选项“%1”，可用的选项见 sitepass-cli --help。"_s.arg(typedName(argument))};
        const bool inlineValue = argument.contains(u'=');
        if (option->valueName().isEmpty()) {
            if (inlineValue)
                throw UsageError{
                    u"%1 不带值，收到“%2”。"_s.arg(typedName(argument), argument.left(40))};
            continue;
        }
        if (inlineValue)
            continue;
        if (i + 1 == arguments.size())
            throw UsageError{u"%1 后面缺少值（%2）。"_s.arg(argument, option->valueName())};
        if (isOption(arguments.at(i + 1)))
            throw UsageError{u"%1 后面缺少值，收到的是选项“%2”；以 - 开头的值请写成 %1=值。"_s.arg(
                argument, arguments.at(i + 1).left(40))};
        ++i;
    }
}

void refuseControlCharacters(const QString &option, QStringView value)
{
    if (const auto c = TextServices::firstUnprintable(value))
        throw UsageError{u"%1 不能含控制字符或换行，收到 U+%2。"_s.arg(
            option, QString::number(c->unicode(), 16).toUpper().rightJustified(4, u'0'))};
}

void rejectOptions(const QCommandLineParser &parser,
                   const QList<const QCommandLineOption *> &options, const QString &command)
{
    for (const QCommandLineOption *option : options)
        if (parser.isSet(*option))
            throw UsageError{u"--%1 不能用于 %2 命令。"_s.arg(option->names().first(), command)};
}

QString describe(const SitepassError &error)
{
    switch (error.kind()) {
    case SitepassError::Kind::TimeBeyond32Bits:
        return u"系统时间已超过 2038-01-19 03:14:07 UTC，无法生成 32 位的时间标记。"_s;
    case SitepassError::Kind::ClockUnreadable:
        return u"无法读取系统时间。"_s;
    default:
        return u"内部错误（%1）。"_s.arg(int(error.kind()));
    }
}

namespace {
// What a file or device error means, in the user's words; empty for the rarer ones.
QString errorWords(int error)
{
    switch (error) {
    case ENOENT:
        return u"文件夹不存在"_s;
    case ENOTDIR:
        return u"路径中有一段不是文件夹"_s;
    case EACCES:
    case EPERM:
        return u"没有权限"_s;
    case ENAMETOOLONG:
        return u"文件名太长"_s;
    case EROFS:
        return u"文件系统是只读的"_s;
    case EISDIR:
        return u"这是一个文件夹"_s;
    case ENOSPC:
        return u"磁盘已满"_s;
#ifdef EDQUOT
    case EDQUOT:
        return u"超出磁盘配额"_s;
#endif
    case EFBIG:
        return u"文件超过允许的大小"_s;
    case EIO:
        return u"输入输出错误"_s;
    case ELOOP:
        return u"路径里有一个别的用户可以放或改的符号链接，不会跟随它"_s;
    case EXDEV:
        return u"里面挂载着另一个文件系统，它不是站点的，没有删"_s;
    case OpenedFolder::otherUsersFolder:
        return u"路径从一个用户的文件夹进到了另一个用户的文件夹里"_s;
    default:
        return {};
    }
}
} // namespace

QString describeWriteFailure(int error)
{
    if (error == EBADF)
        return u"无法写入输出：标准输出已关闭。"_s;
    if (error == 0)
        return u"无法写入输出：输出设备不接受数据。"_s;
    const QString words = errorWords(error);
    return words.isEmpty() ? u"无法写入输出（系统错误号 %1）。"_s.arg(error)
                           : u"无法写入输出：%1。"_s.arg(words);
}

QString describeCreateFailure(int error)
{
    const QString words = errorWords(error);
    return words.isEmpty() ? u"系统错误号 %1"_s.arg(error) : words;
}

QString describeWebValue(const QString &field, const QString &value)
{
    const QString shown =
        TextServices::escapeUnprintable(value.left(60)) + (value.size() > 60 ? u"…"_s : QString());
    if (field == u"site_name"_s)
        return u"站点名称“%1”不是主机名：每段只能含 ASCII 字母、数字和中间的连字符"
               "（1 到 63 个字符），全长不超过 253 个字符（中文域名会转成 punycode）。"_s.arg(
                   shown);
    if (field == u"site_port"_s)
        return u"站点端口“%1”应为 1 到 65535 的数字。"_s.arg(shown);
    if (field == u"site_directory"_s)
        return u"站点目录“%1”不是普通的文件夹名（ASCII 字母、数字、. _ -），不能用作默认路径；"
               "请用 --site-root 和 --php-socket 给出路径。"_s.arg(shown);
    if (field == u"admin_path"_s)
        return u"管理员后台“%1”应以 / 开头，只含 ASCII 字母、数字和 - . _ /。"_s.arg(shown);
    if (field == u"pool"_s)
        return u"站点名称会让进程池叫“%1”，与 php-fpm 自己的 [global] 段同名；请换一个站点名称。"_s
            .arg(shown);
    if (field == u"--tls-port"_s)
        return u"--tls-port 应为 1 到 65535 的数字，收到“%1”。"_s.arg(shown);
    if (field == u"--listen-address"_s || field == u"--admin-allow"_s)
        return u"%1 的“%2”不是 IP 地址%3。"_s.arg(
            field, shown, field == u"--admin-allow"_s ? u"或网段"_s : QString());
    if (field == u"--php-user"_s || field == u"--web-user"_s || field == u"--group"_s)
        return u"%1 的“%2”不是普通的用户名或组名（ASCII 字母、数字、_ . -，不以数字开头，"
               "最多 32 个字符，也不是 php-fpm 当作开关的 yes、no、on、off、true、false、none、null）。"_s
                   .arg(field, shown);
    const QString rule =
        u"不能含空白、控制字符、引号、; { } $ # \\ & | ^ ~ ! ( ) = : 等字符或 . 和 .. 段，"
        "全长最多 3900 字节，每段最多 255 字节"_s;
    if (field == u"--run-dir"_s)
        return u"--run-dir 应为站点文件夹下的相对路径，%1，收到“%2”。"_s.arg(rule, shown);
    if (field == u"--php-socket"_s)
        return u"--php-socket 应为绝对路径，%1；套接字路径最多 107 字节（服务器放不下更长的），"
               "收到“%2”。"_s.arg(rule, shown);
    return u"%1 应为绝对路径，%2，收到“%3”。"_s.arg(field, rule, shown);
}

QString describeProfile(const SitepassError &error, SqlScript::Dialect dialect)
{
    using Kind = SitepassError::Kind;
    const QString field = error.text();
    switch (error.kind()) {
    case Kind::ProfileEmpty:
        return u"输入为空：请给出 sitepass-cli profile 打印的站点报告或它的 --json 输出。"_s;
    case Kind::ProfileNotUtf8:
        return u"输入不是有效的 UTF-8 文本。"_s;
    case Kind::ProfileUnrecognised:
        if (field == u"JSON"_s)
            return u"输入以 { 开头，但不是有效的 JSON 对象。"_s;
        if (field == u"report"_s)
            return u"输入既不是十行的站点报告，也不是站点资料的 JSON。"_s;
        return u"字段“%1”的值应为字符串。"_s.arg(field);
    case Kind::FieldMissing:
        return u"站点资料缺少字段“%1”。"_s.arg(field);
    case Kind::FieldEmpty:
        return u"站点资料的字段“%1”为空。"_s.arg(field);
    case Kind::FieldBadCharacter:
        return u"“%1”含有控制字符、换行或不完整的字符。"_s.arg(field);
    case Kind::NameBadCharacter:
        if (field == u"--host"_s)
            return u"--host 只能含 ASCII 字母、数字和 . - _ % : /。"_s;
        return u"“%1”只能含 ASCII 字母、数字、_ 和 $。"_s.arg(field);
    case Kind::NameTooLong:
        if (dialect == SqlScript::Dialect::PostgreSql)
            return u"“%1”太长：PostgreSQL 的名称最多 %2 个字符。"_s.arg(field).arg(error.limit());
        return u"“%1”太长：MariaDB 和 MySQL 的名称最多 %2 个字符%3。"_s.arg(field)
            .arg(error.limit())
            .arg(field == u"db_table"_s ? u"（授权时每个 _ 算两个）"_s : QString());
    case Kind::WebValueInvalid:
        return describeWebValue(field, error.detail());
    case Kind::ValueUnquotable:
        return u"“%1”同时含有 ' 和“%2”，没有一种 .env 写法能让 phpdotenv 和 Symfony 都原样读出；%3"_s
            .arg(field, error.detail(),
                 field == u"db_password"_s ? u"请重新生成不含这些字符的密码。"_s
                                           : u"请改用不含这些字符的值。"_s);
    default:
        return describe(error);
    }
}

// Up to one byte past the limit, so that a larger input is seen and refused.
SiteTexts readSiteProfile(const QString &file, QIODevice &in, SqlScript::Dialect dialect)
{
    QByteArray input;
    if (file.isEmpty() || file == u"-"_s) {
        if (!in.isReadable())
            throw UsageError{u"无法读取标准输入。"_s};
        input = in.read(maxProfileBytes + 1);
    } else {
        QFile source(file);
        if (!source.open(QIODevice::ReadOnly))
            throw UsageError{u"无法打开文件“%1”。"_s.arg(file.left(200))};
        input = source.read(maxProfileBytes + 1);
    }
    if (input.size() > maxProfileBytes)
        throw UsageError{u"输入超过 %1 字节，不是一份站点资料。"_s.arg(maxProfileBytes)};
    try {
        return SiteProfile::read(input);
    } catch (const SitepassError &e) {
        throw UsageError{describeProfile(e, dialect)};
    }
}

// Never over a file that is there (a link included), which may be someone's work.
void writeNewFile(const QString &name, const QString &text, const QString &group)
{
    NewFile file(name, group);
    const auto refuse = [&](int error) {
        if (error == EEXIST)
            throw UsageError{u"文件“%1”已存在，不会覆盖它。"_s.arg(name.left(200))};
        if (error == NewFile::noSuchGroup)
            throw UsageError{u"--group：没有名为“%1”的组。"_s.arg(group.left(40))};
        if (error == ELOOP || error == OpenedFolder::otherUsersFolder)
            throw UsageError{
                u"不会创建文件“%1”：%2。"_s.arg(name.left(200), describeCreateFailure(error))};
        if (error == EPERM && !group.isEmpty())
            throw UsageError{u"--group：无权把文件交给组“%1”。"_s.arg(group.left(40))};
        throw Failure{
            u"无法创建文件“%1”：%2。"_s.arg(name.left(200), describeCreateFailure(error))};
    };
    if (const int error = file.open())
        refuse(error);
    ChunkedOutput out(file.device());
    out.write(text);
    out.flush();
    if (const int error = file.commit())
        refuse(error);
}

OutputFile outputFile(const QCommandLineParser &parser, const Options &o)
{
    OutputFile file{parser.value(o.output), parser.value(o.group)};
    if (parser.isSet(o.output) && file.name.isEmpty())
        throw UsageError{u"--output 需要一个文件名。"_s};
    if (parser.isSet(o.group) && !parser.isSet(o.output))
        throw UsageError{u"--group 只与 --output 同用。"_s};
    if (parser.isSet(o.group)) {
#ifdef Q_OS_WIN
        throw UsageError{u"--group 只用于 Linux：Windows 的文件没有 POSIX 组。"_s};
#endif
        try {
            WebConfig::checkUserName(u"--group"_s, file.group);
        } catch (const SitepassError &e) {
            throw UsageError{describeProfile(e, SqlScript::Dialect::MariaDb)};
        }
    }
    return file;
}

WebConfig::Settings webSettingsFrom(const QCommandLineParser &parser, const Options &o)
{
    WebConfig::Settings settings;
    settings.siteRoot = parser.value(o.siteRoot);
    settings.runDir = parser.value(o.runDir);
    settings.phpSocket = parser.value(o.phpSocket);
    settings.phpUser = parser.value(o.phpUser);
    settings.webUser = parser.value(o.webUser);
    settings.listenAddress = parser.value(o.listenAddress);
    settings.adminAllow = parser.values(o.adminAllow);
    settings.tlsCertificate = parser.value(o.tlsCertificate);
    settings.tlsKey = parser.value(o.tlsKey);
    settings.tlsPort = parser.value(o.tlsPort);
    settings.maxUpload = parser.value(o.maxUpload);
    settings.logDir = parser.value(o.logDir);
    // An option given empty is a mistake, not a request for the default.
    for (const QCommandLineOption *option : o.webOptions())
        if (parser.isSet(*option) && parser.values(*option).contains(QString()))
            throw UsageError{u"--%1 需要一个值。"_s.arg(option->names().first())};
    if (settings.tlsCertificate.isEmpty() != settings.tlsKey.isEmpty())
        throw UsageError{u"--tls-certificate 和 --tls-key 要一起给出。"_s};
    if (parser.isSet(o.tlsPort) && settings.tlsCertificate.isEmpty())
        throw UsageError{u"--tls-port 只与 --tls-certificate 和 --tls-key 同用。"_s};
    return settings;
}

} // namespace CommandLine
