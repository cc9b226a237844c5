// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SitepassCli.h"

#include "ChunkedOutput.h"
#include "CommandLine.h"
#include "ConfigCommand.h"
#include "HelpText.h"
#include "PasswordCommands.h"
#include "SitepassError.h"
#include "SqlCommand.h"

#include <QIODevice>

using namespace Qt::StringLiterals;

namespace SitepassCli {

using namespace CommandLine;

namespace {
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
        {u"config 格式 [文件]"_s, u"读入站点资料，打印网站程序的数据库设置；"_s},
        {QString(), u"格式为 laravel（.env）、wordpress（wp-config.php）或 php（数组）。"_s},
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
    group(u"config 的选项："_s, o.configOptions());
    group(u"其他："_s, {&o.help, &o.version});
    return u"用法：sitepass-cli 命令 [参数] [选项]\n生成随机密码、网站的站点资料，以及建立其数据库和用户的 SQL 和网站程序的设置。\n\n"_s +
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
        checkOptions(arguments, o);
        if (!parser.parse(arguments))
            throw UsageError{parser.errorText()};
        if (parser.isSet(o.help)) {
            output.write(helpText(o));
        } else if (parser.isSet(o.version)) {
            output.write(program + QStringLiteral(" " SITEPASS_VERSION "\n"));
        } else {
            const Invocation call{parser, o, parser.positionalArguments(), random, clock, in};
            const QString command = call.positional.value(0);
            if (command == u"password"_s)
                password(call, output);
            else if (command == u"profile"_s)
                output.write(profile(call)); // printed only once every step has succeeded
            else if (command == u"sql"_s)
                output.write(sql(call));
            else if (command == u"config"_s)
                config(call, output);
            else
                throw UsageError{
                    command.isEmpty()
                        ? u"缺少命令：password、profile、sql 或 config（见 sitepass-cli --help）。"_s
                        : u"未知命令“%1”：应为 password、profile、sql 或 config。"_s.arg(
                              command.left(40))};
        }
        output.flush();
        return Ok;
    } catch (const UsageError &e) {
        writeLine(err, e.message);
        return BadInput;
    } catch (const Failure &e) {
        writeLine(err, e.message);
        return Failed;
    } catch (const SitepassError &e) {
        writeLine(err, describe(e));
        return Failed;
    } catch (const ChunkedOutput::WriteFailed &e) {
        writeLine(err, describeWriteFailure(e.error));
        return Failed;
    }
}

} // namespace SitepassCli
