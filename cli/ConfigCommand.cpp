// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConfigCommand.h"

#include "ChunkedOutput.h"
#include "SitepassError.h"

#include "NewFile.h"

#include <cerrno>

namespace CommandLine {

namespace {
// The settings hold a password: a new file, readable by its owner alone (or its group too), that
// appears only when complete and never over one that is there (a link included), which may be
// someone's work.
void writeNewFile(const QString &name, const QString &text, const QString &group)
{
    NewFile file(name, group);
    const auto refuse = [&](int error) {
        if (error == EEXIST)
            throw UsageError{u"文件“%1”已存在，不会覆盖它。"_s.arg(name.left(200))};
        if (error == NewFile::noSuchGroup)
            throw UsageError{u"--group：没有名为“%1”的组。"_s.arg(group.left(40))};
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
} // namespace

void config(const Invocation &call, ChunkedOutput &out)
{
    const QCommandLineParser &parser = call.parser;
    const Options &o = call.options;
    const QStringList &positional = call.positional;
    rejectOptions(parser,
                  o.passwordOptions() + o.profileOptions() +
                      QList<const QCommandLineOption *>{&o.count, &o.host},
                  u"config"_s);
    if (positional.size() < 2)
        throw UsageError{u"config 命令需要格式：laravel、wordpress 或 php。"_s};
    if (positional.size() > 3)
        throw UsageError{u"config 只接受一个文件，多出了“%1”。"_s.arg(positional.at(3).left(40))};
    const auto format = AppConfig::formatNamed(positional.at(1));
    if (!format)
        throw UsageError{
            u"未知的格式“%1”：应为 laravel、wordpress 或 php。"_s.arg(positional.at(1).left(40))};
    const auto engine = SqlScript::dialectNamed(parser.value(o.engine));
    if (!engine)
        throw UsageError{u"--engine 应为 mariadb、mysql 或 postgresql，收到“%1”。"_s.arg(
            parser.value(o.engine).left(40))};
    if (*format == AppConfig::Format::WordPress && *engine == SqlScript::Dialect::PostgreSql)
        throw UsageError{u"WordPress 不支持 PostgreSQL：wordpress 只能配合 mariadb 或 mysql。"_s};
    const QString dbHost = parser.value(o.dbHost);
    if (dbHost.isEmpty())
        throw UsageError{u"--db-host 需要一个主机名，例如 localhost。"_s};
    refuseControlCharacters(u"--db-host"_s, dbHost);
    const QString outputFile = parser.value(o.output);
    if (parser.isSet(o.output) && outputFile.isEmpty())
        throw UsageError{u"--output 需要一个文件名。"_s};

    const SiteTexts profile = readSiteProfile(positional.value(2), call.in, *engine);
    QString text;
    try {
        text = AppConfig::build(*format, profile, *engine, dbHost, call.random);
    } catch (const SitepassError &e) {
        throw UsageError{describeProfile(e, *engine)};
    }
    if (parser.isSet(o.output))
        writeNewFile(outputFile, text, QString());
    else
        out.write(text);
}

} // namespace CommandLine
