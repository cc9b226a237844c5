// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SitepassCli.h"

#include "CharacterPool.h"
#include "ChunkedOutput.h"
#include "Clock.h"
#include "HelpText.h"
#include "Password.h"
#include "SiteProfile.h"
#include "SiteRecord.h"
#include "SitepassError.h"
#include "SqlScript.h"
#include "TextServices.h"

#include <QCommandLineParser>
#include <QFile>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <optional>

using namespace Qt::StringLiterals;

namespace SitepassCli {

namespace {
const QString program = u"sitepass-cli"_s;
constexpr qsizetype maxCount = 1000000;
constexpr int maxPort = 65535;
// A profile is well under a kilobyte; more is not one, and is not read into memory whole.
constexpr qint64 maxProfileBytes = 1 << 20;
// More expected redraws than this per password would keep a script waiting for minutes.
constexpr double maxEveryClassDraws = 1e6;

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
    QList<const QCommandLineOption *> all() const
    {
        return passwordOptions() + QList<const QCommandLineOption *>{&count} + profileOptions() +
               QList<const QCommandLineOption *>{&host, &help, &version};
    }
};

// What the user typed for an option, as they typed it: "--port" of "--port=80".
QString typedName(const QString &argument)
{
    return argument.section(u'=', 0, 0).left(40);
}

// QCommandLineParser takes whatever follows an option as its value and words its errors in
// English. Checked first: unknown options, flags given a value, and values that are missing or
// are the next option (a value that starts with "--" can still be given as --option=value).
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

// The password options, checked once for the whole command.
struct PasswordRequest
{
    PasswordSettings settings;
    CharacterPool pool;
    qsizetype length = 0;
    bool everyClass = false;

    QString next(RandomSource &random) const
    {
        return everyClass ? Password::fromPoolWithEveryClass(pool, length, settings, random)
                          : Password::fromPool(pool, length, random);
    }
};

void refuseControlCharacters(const QString &option, QStringView value)
{
    if (const auto c = TextServices::firstUnprintable(value))
        throw UsageError{u"%1 不能含控制字符或换行，收到 U+%2。"_s.arg(
            option, QString::number(c->unicode(), 16).toUpper().rightJustified(4, u'0'))};
}

PasswordRequest passwordRequest(const QCommandLineParser &parser, const Options &o)
{
    if (parser.isSet(o.special) && parser.isSet(o.specialChars))
        throw UsageError{u"--special 和 --special-chars 只能选一个。"_s};
    PasswordRequest request;
    PasswordSettings &settings = request.settings;
    settings.upper = !parser.isSet(o.noUpper);
    settings.lower = !parser.isSet(o.noLower);
    settings.digits = !parser.isSet(o.noDigits);
    settings.special = parser.isSet(o.special) || parser.isSet(o.specialChars);
    if (parser.isSet(o.specialChars)) {
        settings.specialText = parser.value(o.specialChars);
        // A line break or control character in a password splits or garbles every line after.
        refuseControlCharacters(u"--special-chars"_s, settings.specialText);
    }
    settings.lengthText = parser.value(o.length);
    try {
        request.length = Password::lengthFromText(settings.lengthText);
    } catch (const SitepassError &) {
        throw UsageError{u"--length 需要 1 到 %1 之间的数字，收到“%2”。"_s.arg(Password::maxLength)
                             .arg(settings.lengthText.left(40))};
    }
    // The window gives an empty box for these; a script is better told it got nothing.
    if (request.length < 1)
        throw UsageError{u"--length 至少为 1，收到“%1”。"_s.arg(settings.lengthText.left(40))};
    request.pool = CharacterPool(settings);
    if (request.pool.isEmpty())
        throw UsageError{u"没有可用的字符：至少保留一类字符，或用 --special 加入特殊字符。"_s};
    request.everyClass = parser.isSet(o.everyClass);
    if (request.everyClass && request.length < Password::classCount(settings))
        throw UsageError{u"--every-class 要求 --length 至少为选用的类别数 %1，收到“%2”。"_s
                             .arg(Password::classCount(settings))
                             .arg(settings.lengthText.left(40))};
    // Redrawing until every class shows is only practical while such a password is not rare.
    if (request.everyClass) {
        const double chance = Password::everyClassChance(request.pool, request.length, settings);
        if (chance * maxEveryClassDraws < 1)
            throw UsageError{
                u"--every-class 在这些设置下平均要抽约 %1 次才得到一个合格的密码：请加大 --length 或减少特殊字符。"_s
                    .arg(chance > 0 ? 1 / chance : qInf(), 0, 'g', 2)};
    }
    return request;
}

qsizetype passwordCount(const QCommandLineParser &parser, const Options &o)
{
    const QString text = parser.value(o.count);
    const auto value = TextServices::tryTextToNumber(text);
    if (!value || *value < 1 || *value > maxCount || *value != qsizetype(*value))
        throw UsageError{
            u"--count 需要 1 到 %1 之间的整数，收到“%2”。"_s.arg(maxCount).arg(text.left(40))};
    return qsizetype(*value);
}

// A port a server can listen on: plain digits, 1 to 65535.
QString checkedPort(const QString &text)
{
    bool digits = !text.isEmpty() && text.size() <= 5;
    for (QChar c : text)
        digits = digits && c >= u'0' && c <= u'9';
    const int value = digits ? text.toInt() : 0;
    if (value < 1 || value > maxPort)
        throw UsageError{
            u"--port 需要 1 到 %1 之间的整数，收到“%2”。"_s.arg(maxPort).arg(text.left(40))};
    return QString::number(value);
}

// The report and the SQL names come from the bare domain; a URL or a typo is surely not meant.
void checkDomain(const QString &domain)
{
    if (domain.isEmpty())
        throw UsageError{u"profile 的域名不能为空，例如 sitepass-cli profile example.com。"_s};
    const bool blank =
        std::any_of(domain.cbegin(), domain.cend(), [](QChar c) { return c.isSpace(); });
    if (blank || domain.contains(u'/'))
        throw UsageError{
            u"profile 需要不带 http://、路径和空白的域名，例如 example.com，收到“%1”。"_s.arg(
                domain.left(60))};
}

void rejectOptions(const QCommandLineParser &parser,
                   const QList<const QCommandLineOption *> &options, const QString &command)
{
    for (const QCommandLineOption *option : options)
        if (parser.isSet(*option))
            throw UsageError{u"--%1 不能用于 %2 命令。"_s.arg(option->names().first(), command)};
}

// Only the clock can fail once the options have been read.
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

// A failed write in the user's words; errno's own text would be English.
QString describeWriteFailure(int error)
{
    switch (error) {
    case EBADF:
        return u"无法写入输出：标准输出已关闭。"_s;
    case ENOSPC:
        return u"无法写入输出：磁盘已满。"_s;
    case EDQUOT:
        return u"无法写入输出：超出磁盘配额。"_s;
    case EFBIG:
        return u"无法写入输出：文件超过允许的大小。"_s;
    case EIO:
        return u"无法写入输出：输入输出错误。"_s;
    case 0:
        return u"无法写入输出：输出设备不接受数据。"_s;
    default:
        return u"无法写入输出（系统错误号 %1）。"_s.arg(error);
    }
}

void writePasswords(const PasswordRequest &request, qsizetype count, RandomSource &random,
                    ChunkedOutput &out)
{
    for (qsizetype i = 0; i < count; ++i) {
        out.write(request.next(random));
        out.write('\n');
    }
}

QString profile(const QCommandLineParser &parser, const Options &o, const QString &domain,
                RandomSource &random, const Clock &clock)
{
    const PasswordRequest request = passwordRequest(parser, o);
    SiteRecord fields;
    fields.setText(SiteField::SiteName, domain);
    fields.setText(SiteField::SitePort, checkedPort(parser.value(o.port)));
    fields.setText(SiteField::AdminPath, parser.value(o.adminPath));
    fields.setText(SiteField::AdminUser, parser.value(o.adminUser));
    const QString token = SiteProfile::fill(
        fields, [&] { return request.next(random); }, clock);
    const SiteTexts t = SiteProfile::readTexts(fields);

    if (parser.isSet(o.json))
        return QString::fromUtf8(SiteProfile::toJson(t, token));
    QString report = BuildSiteReport(t);
    if (!parser.isSet(o.crlf))
        report.replace(u"\r\n"_s, u"\n"_s);
    return report;
}

// What a profile or a name was refused for, as the user sees the field.
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
    default:
        return describe(error);
    }
}

// Up to one byte past the limit, so that a larger input is seen and refused.
QByteArray readProfile(const QString &file, QIODevice &in)
{
    if (file.isEmpty() || file == u"-"_s) {
        if (!in.isReadable())
            throw UsageError{u"无法读取标准输入。"_s};
        return in.read(maxProfileBytes + 1);
    }
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly))
        throw UsageError{u"无法打开文件“%1”。"_s.arg(file.left(200))};
    return source.read(maxProfileBytes + 1);
}

QString sql(const QCommandLineParser &parser, const Options &o, const QStringList &positional,
            QIODevice &in, RandomSource &random)
{
    if (positional.size() < 2)
        throw UsageError{u"sql 命令需要方言：mariadb、mysql 或 postgresql。"_s};
    if (positional.size() > 3)
        throw UsageError{u"sql 只接受一个文件，多出了“%1”。"_s.arg(positional.at(3).left(40))};
    const auto dialect = SqlScript::dialectNamed(positional.at(1));
    if (!dialect)
        throw UsageError{u"未知的方言“%1”：应为 mariadb、mysql 或 postgresql。"_s.arg(
            positional.at(1).left(40))};
    const QString host = parser.value(o.host);
    if (parser.isSet(o.host) && *dialect == SqlScript::Dialect::PostgreSql)
        throw UsageError{u"--host 只用于 mariadb 和 mysql。"_s};
    if (host.isEmpty())
        throw UsageError{u"--host 需要一个主机名，例如 localhost 或 %。"_s};
    try {
        SqlScript::checkHost(host);
    } catch (const SitepassError &e) {
        throw UsageError{describeProfile(e, *dialect)};
    }
    const QByteArray input = readProfile(positional.value(2), in);
    if (input.size() > maxProfileBytes)
        throw UsageError{u"输入超过 %1 字节，不是一份站点资料。"_s.arg(maxProfileBytes)};
    try {
        return SqlScript::build(*dialect, SiteProfile::read(input), host, random);
    } catch (const SitepassError &e) {
        throw UsageError{describeProfile(e, *dialect)};
    }
}

QString helpLeft(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names << (name.size() == 1 ? u"-"_s : u"--"_s) + name;
    const QString left = names.join(u", "_s);
    return option.valueName().isEmpty() ? left : left + u' ' + option.valueName();
}

QString helpText(const Options &o)
{
    QList<std::pair<QString, QString>> rows = {
        {u"命令："_s, {}},
        {u"password"_s, u"打印密码，每行一个。"_s},
        {u"profile 域名"_s, u"打印十行的站点报告，例如 profile example.com。"_s},
        {u"sql 方言 [文件]"_s, u"读入站点资料（报告或 JSON，默认读标准输入），"_s},
        {QString(), u"打印建立其数据库和用户的 SQL；方言为 mariadb、mysql 或 postgresql。"_s},
    };
    const auto group = [&](const QString &title, const QList<const QCommandLineOption *> &options) {
        rows.append({QString(), QString()});
        rows.append({title, QString()});
        for (const QCommandLineOption *option : options)
            rows.append({helpLeft(*option), option->description()});
    };
    group(u"密码选项（password 和 profile）："_s, o.passwordOptions());
    group(u"password 的选项："_s, {&o.count});
    group(u"profile 的选项："_s, o.profileOptions());
    group(u"sql 的选项："_s, {&o.host});
    group(u"其他："_s, {&o.help, &o.version});
    return u"用法：sitepass-cli 命令 [参数] [选项]\n生成随机密码、网站的站点资料，以及建立其数据库和用户的 SQL。\n\n"_s +
           HelpText::columns(rows);
}

void writeLine(QIODevice &device, const QString &line)
{
    device.write((program + u": "_s + line + u'\n').toUtf8());
}
} // namespace

int run(const QStringList &arguments, RandomSource &random, const Clock &clock, QIODevice &in,
        QIODevice &out, QIODevice &err)
{
    Options o;
    QCommandLineParser parser;
    for (const QCommandLineOption *option : o.all())
        parser.addOption(*option);

    ChunkedOutput output(out);
    try {
        // A closed standard output: nothing the command makes could reach anyone.
        if (!out.isWritable())
            throw ChunkedOutput::WriteFailed{EBADF};
        checkOptions(arguments, o);
        if (!parser.parse(arguments))
            throw UsageError{parser.errorText()};
        if (parser.isSet(o.help)) {
            output.write(helpText(o));
        } else if (parser.isSet(o.version)) {
            output.write(program + QStringLiteral(" " SITEPASS_VERSION "\n"));
        } else {
            const QStringList positional = parser.positionalArguments();
            const QString command = positional.value(0);
            if (command == u"password"_s) {
                if (positional.size() > 1)
                    throw UsageError{
                        u"password 命令不接受参数“%1”。"_s.arg(positional.at(1).left(40))};
                rejectOptions(parser,
                              o.profileOptions() + QList<const QCommandLineOption *>{&o.host},
                              command);
                const PasswordRequest request = passwordRequest(parser, o);
                writePasswords(request, passwordCount(parser, o), random, output);
            } else if (command == u"profile"_s) {
                if (positional.size() < 2)
                    throw UsageError{
                        u"profile 命令需要一个域名，例如 sitepass-cli profile example.com。"_s};
                if (positional.size() > 2)
                    throw UsageError{
                        u"profile 只接受一个域名，多出了“%1”。"_s.arg(positional.at(2).left(40))};
                checkDomain(positional.at(1));
                rejectOptions(parser, {&o.count, &o.host}, command);
                if (parser.isSet(o.crlf) && parser.isSet(o.json))
                    throw UsageError{u"--crlf 和 --json 不能同时使用。"_s};
                // Printed only once every step has succeeded.
                output.write(profile(parser, o, positional.at(1), random, clock));
            } else if (command == u"sql"_s) {
                rejectOptions(parser,
                              o.passwordOptions() + o.profileOptions() +
                                  QList<const QCommandLineOption *>{&o.count},
                              command);
                output.write(sql(parser, o, positional, in, random));
            } else {
                throw UsageError{
                    command.isEmpty()
                        ? u"缺少命令：password、profile 或 sql（见 sitepass-cli --help）。"_s
                        : u"未知命令“%1”：应为 password、profile 或 sql。"_s.arg(command.left(40))};
            }
        }
        output.flush();
        return Ok;
    } catch (const UsageError &e) {
        writeLine(err, e.message);
        return BadInput;
    } catch (const SitepassError &e) {
        writeLine(err, describe(e));
        return Failed;
    } catch (const ChunkedOutput::WriteFailed &e) {
        writeLine(err, describeWriteFailure(e.error));
        return Failed;
    }
}

} // namespace SitepassCli
