// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SqlCommand.h"

#include "SitepassError.h"

namespace CommandLine {

QString sql(const Invocation &call)
{
    const Options &o = call.options;
    const QStringList &positional = call.positional;
    rejectOptions(call.parser,
                  o.passwordOptions() + o.profileOptions() +
                      QList<const QCommandLineOption *>{&o.count, &o.showPassword} +
                      o.configOptions() + o.siteOptions() + o.vaultOptions(),
                  u"sql"_s);
    if (positional.size() < 2)
        throw UsageError{u"sql 命令需要方言：mariadb、mysql 或 postgresql。"_s};
    if (positional.size() > 3)
        throw UsageError{u"sql 只接受一个文件，多出了“%1”。"_s.arg(positional.at(3).left(40))};
    const auto dialect = SqlScript::dialectNamed(positional.at(1));
    if (!dialect)
        throw UsageError{u"未知的方言“%1”：应为 mariadb、mysql 或 postgresql。"_s.arg(
            positional.at(1).left(40))};
    const QString host = call.parser.value(o.host);
    if (call.parser.isSet(o.host) && *dialect == SqlScript::Dialect::PostgreSql)
        throw UsageError{u"--host 只用于 mariadb 和 mysql。"_s};
    if (host.isEmpty())
        throw UsageError{u"--host 需要一个主机名，例如 localhost 或 %。"_s};
    try {
        SqlScript::checkHost(host);
    } catch (const SitepassError &e) {
        throw UsageError{describeProfile(e, *dialect)};
    }
    const SiteTexts profile = readSiteProfile(positional.value(2), call.in, *dialect);
    try {
        return SqlScript::build(*dialect, profile, host, call.random);
    } catch (const SitepassError &e) {
        throw UsageError{describeProfile(e, *dialect)};
    }
}

} // namespace CommandLine
