// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SitepassCli.h"

#include "CharacterPool.h"
#include "ChunkedOutput.h"
#include "Clock.h"
#include "Password.h"
#include "SiteProfile.h"
#include "SiteRecord.h"
#include "SitepassError.h"
#include "TextServices.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace SitepassCli {

namespace {
const QString program = u"sitepass-cli"_s;
constexpr qsizetype maxCount = 1000000;

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
                                    u"CHARS"_s};
    QCommandLineOption everyClass{
        u"every-class"_s,
        u"每个选用的字符类别（大写、小写、数字、特殊字符）在每个密码里至少出现一次。"_s};
    QCommandLineOption count{u"count"_s, u"生成几个密码（1 到 %1，默认 1）。"_s.arg(maxCount),
                             u"K"_s, u"1"_s};
    QCommandLineOption port{u"port"_s, u"站点端口（默认 %1）。"_s.arg(SiteProfile::defaultPort),
                            u"PORT"_s, SiteProfile::defaultPort.toString()};
    QCommandLineOption adminPath{u"admin-path"_s,
                                 u"管理员后台（默认 %1）。"_s.arg(SiteProfile::defaultAdminPath),
                                 u"PATH"_s, SiteProfile::defaultAdminPath.toString()};
    QCommandLineOption adminUser{u"admin-user"_s,
                                 u"管理员用户（默认 %1）。"_s.arg(SiteProfile::defaultAdminUser),
                                 u"USER"_s, SiteProfile::defaultAdminUser.toString()};
    QCommandLineOption crlf{u"crlf"_s, u"报告按剪贴板的原样以 CR LF 换行。"_s};
    QCommandLineOption json{u"json"_s, u"以一个 JSON 对象输出站点资料。"_s};
};

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
    if (parser.isSet(o.specialChars))
        settings.specialText = parser.value(o.specialChars);
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
    fields.setText(SiteField::SitePort, parser.value(o.port));
    fields.setText(SiteField::AdminPath, parser.value(o.adminPath));
    fields.setText(SiteField::AdminUser, parser.value(o.adminUser));
    const QString token = SiteProfile::fill(
        fields, [&] { return request.next(random); }, clock);
    const SiteTexts t = SiteProfile::readTexts(fields);

    if (parser.isSet(o.json)) {
        const QJsonObject object{{u"site_name"_s, t.siteName},
                                 {u"site_directory"_s, SiteProfile::siteDirectory(t.siteName)},
                                 {u"site_url"_s, t.siteUrl},
                                 {u"site_port"_s, t.sitePort},
                                 {u"db_table"_s, t.tableName},
                                 {u"db_user"_s, t.databaseUser},
                                 {u"db_password"_s, t.databasePassword},
                                 {u"admin_path"_s, t.adminPath},
                                 {u"admin_user"_s, t.adminUser},
                                 {u"admin_password"_s, t.adminPassword},
                                 {u"token"_s, token}};
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
    }
    QString report = BuildSiteReport(t);
    if (!parser.isSet(o.crlf))
        report.replace(u"\r\n"_s, u"\n"_s);
    return report;
}

// Qt's help begins with the path the program was started by; scripts and man pages know the name.
QString helpText(const QCommandLineParser &parser)
{
    QString text = parser.helpText();
    const QStringList appArguments = QCoreApplication::arguments();
    const qsizetype firstLineEnd = text.indexOf(u'\n');
    if (!appArguments.isEmpty() && firstLineEnd > 0) {
        QString firstLine = text.left(firstLineEnd);
        firstLine.replace(appArguments.constFirst(), program);
        text.replace(0, firstLineEnd, firstLine);
    }
    return text;
}

void writeLine(QIODevice &device, const QString &line)
{
    device.write((program + u": "_s + line + u'\n').toUtf8());
}
} // namespace

int run(const QStringList &arguments, RandomSource &random, const Clock &clock, QIODevice &out,
        QIODevice &err)
{
    Options o;
    QCommandLineParser parser;
    parser.setApplicationDescription(u"生成随机密码或网站的站点资料。\n"
                                     "  sitepass-cli password [选项]       打印密码，每行一个\n"
                                     "  sitepass-cli profile 域名 [选项]   打印十行的站点报告"_s);
    parser.addPositionalArgument(u"命令"_s, u"password 或 profile"_s, u"password|profile"_s);
    parser.addPositionalArgument(u"domain"_s, u"profile 的站点域名"_s, u"[域名]"_s);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions({o.length, o.noUpper, o.noLower, o.noDigits, o.special, o.specialChars,
                       o.everyClass, o.count, o.port, o.adminPath, o.adminUser, o.crlf, o.json});

    ChunkedOutput output(out);
    try {
        if (!parser.parse(arguments))
            throw UsageError{parser.errorText()};
        if (parser.isSet(help)) {
            output.write(helpText(parser));
        } else if (parser.isSet(version)) {
            output.write(program + QStringLiteral(" " SITEPASS_VERSION "\n"));
        } else {
            const QStringList positional = parser.positionalArguments();
            const QString command = positional.value(0);
            if (command == u"password"_s) {
                if (positional.size() > 1)
                    throw UsageError{u"password 命令不接受参数“%1”。"_s.arg(positional.at(1))};
                rejectOptions(parser, {&o.port, &o.adminPath, &o.adminUser, &o.crlf, &o.json},
                              command);
                const PasswordRequest request = passwordRequest(parser, o);
                writePasswords(request, passwordCount(parser, o), random, output);
            } else if (command == u"profile"_s) {
                if (positional.size() != 2)
                    throw UsageError{
                        u"profile 命令需要一个域名，例如 sitepass-cli profile example.com。"_s};
                rejectOptions(parser, {&o.count}, command);
                if (parser.isSet(o.crlf) && parser.isSet(o.json))
                    throw UsageError{u"--crlf 和 --json 不能同时使用。"_s};
                // Printed only once every step has succeeded.
                output.write(profile(parser, o, positional.at(1), random, clock));
            } else {
                throw UsageError{command.isEmpty()
                                     ? u"缺少命令：password 或 profile。"_s
                                     : u"未知命令“%1”：应为 password 或 profile。"_s.arg(command)};
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
        if (e.readerGone)
            return ReaderGone;
        writeLine(err, u"无法写入输出：%1"_s.arg(e.reason));
        return Failed;
    }
}

} // namespace SitepassCli
