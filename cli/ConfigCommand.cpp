// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConfigCommand.h"

#include "ChunkedOutput.h"
#include "SitepassError.h"

#include "SystemAccounts.h"

#include <QFileInfo>

namespace CommandLine {

namespace {
const QString formatNames = u"laravel、wordpress、php、php-fpm、nginx 或 apache"_s;

QString appSettings(const Invocation &call, AppConfig::Format format)
{
    const QCommandLineParser &parser = call.parser;
    const Options &o = call.options;
    rejectOptions(parser, o.webOptions(), u"config %1"_s.arg(call.positional.at(1)));
    const auto engine = SqlScript::dialectNamed(parser.value(o.engine));
    if (!engine)
        throw UsageError{u"--engine 应为 mariadb、mysql 或 postgresql，收到“%1”。"_s.arg(
            parser.value(o.engine).left(40))};
    if (format == AppConfig::Format::WordPress && *engine == SqlScript::Dialect::PostgreSql)
        throw UsageError{u"WordPress 不支持 PostgreSQL：wordpress 只能配合 mariadb 或 mysql。"_s};
    const QString dbHost = parser.value(o.dbHost);
    if (dbHost.isEmpty())
        throw UsageError{u"--db-host 需要一个主机名，例如 localhost。"_s};
    refuseControlCharacters(u"--db-host"_s, dbHost);
    const SiteTexts profile = readSiteProfile(call.positional.value(2), call.in, *engine);
    try {
        return AppConfig::build(format, profile, *engine, dbHost, call.random);
    } catch (const SitepassError &e) {
        throw UsageError{describeProfile(e, *engine)};
    }
}

QString webSettings(const Invocation &call, WebConfig::Format format)
{
    const QCommandLineParser &parser = call.parser;
    const Options &o = call.options;
    rejectOptions(parser, o.appOptions(), u"config %1"_s.arg(call.positional.at(1)));
    const WebConfig::Settings settings = webSettingsFrom(parser, o);
    try {
        // The options first: a typing mistake is told before anything is read.
        WebConfig::checkSettings(settings);
        const SiteTexts profile =
            readSiteProfile(call.positional.value(2), call.in, SqlScript::Dialect::MariaDb);
        const QString text = WebConfig::build(format, profile, settings);
        // A pool file put in place names users and a slow log that must be there: php-fpm
        // stops every pool, not only this one, when one names what it cannot find.
        if (format == WebConfig::Format::PhpFpm && parser.isSet(o.output)) {
            for (const QString &user : WebConfig::poolUsers(profile, settings))
                if (!SystemAccounts::userExists(user))
                    throw UsageError{
                        u"用户“%1”不存在，php-fpm 会因此停下所有进程池；请先创建它"
                        "（adduser --system --group %1），或不加 --output 先看文件。"_s.arg(user)};
            const QString logs = WebConfig::logFolder(format, settings);
            if (!QFileInfo(logs).isDir())
                throw UsageError{
                    u"日志文件夹“%1”不存在，php-fpm 会因此停下所有进程池；请先创建它"
                    "（install -d -m 0750 %1），或不加 --output 先看文件。"_s.arg(logs)};
        }
        return text;
    } catch (const SitepassError &e) {
        throw UsageError{describeProfile(e, SqlScript::Dialect::MariaDb)};
    }
}
} // namespace

void config(const Invocation &call, ChunkedOutput &out)
{
    const QCommandLineParser &parser = call.parser;
    const Options &o = call.options;
    const QStringList &positional = call.positional;
    rejectOptions(parser,
                  o.passwordOptions() + o.profileOptions() +
                      QList<const QCommandLineOption *>{&o.count, &o.host, &o.showPassword} +
                      o.siteOptions() + o.vaultOptions(),
                  u"config"_s);
    if (positional.size() < 2)
        throw UsageError{u"config 命令需要格式：%1。"_s.arg(formatNames)};
    if (positional.size() > 3)
        throw UsageError{u"config 只接受一个文件，多出了“%1”。"_s.arg(positional.at(3).left(40))};
    const auto appFormat = AppConfig::formatNamed(positional.at(1));
    const auto webFormat = WebConfig::formatNamed(positional.at(1));
    if (!appFormat && !webFormat)
        throw UsageError{
            u"未知的格式“%1”：应为 %2。"_s.arg(positional.at(1).left(40), formatNames)};
    const OutputFile output = outputFile(parser, o);
    const QString text = appFormat ? appSettings(call, *appFormat) : webSettings(call, *webFormat);
    if (!output.name.isEmpty())
        writeNewFile(output.name, text, output.group);
    else
        out.write(text);
}

} // namespace CommandLine
