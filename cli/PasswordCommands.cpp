// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PasswordCommands.h"

#include "CharacterPool.h"
#include "ChunkedOutput.h"
#include "CoreDumps.h"
#include "Password.h"
#include "SiteRecord.h"
#include "SitepassError.h"
#include "TextServices.h"
#include "VaultCommand.h"

#include <algorithm>

namespace CommandLine {

namespace {
// More expected redraws than this per password would keep a script waiting for minutes.
constexpr double maxEveryClassDraws = 1e6;
} // namespace

QString PasswordRequest::next(RandomSource &random) const
{
    return everyClass ? Password::fromPoolWithEveryClass(pool, length, settings, random)
                      : Password::fromPool(pool, length, random);
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

namespace {
qsizetype passwordCount(const QCommandLineParser &parser, const Options &o)
{
    const QString text = parser.value(o.count);
    const auto value = TextServices::tryTextToNumber(text);
    if (!value || *value < 1 || *value > maxCount || *value != qsizetype(*value))
        throw UsageError{
            u"--count 需要 1 到 %1 之间的整数，收到“%2”。"_s.arg(maxCount).arg(text.left(40))};
    return qsizetype(*value);
}

// A port a server can listen on, by the rule the web formats read it with.
QString checkedPort(const QString &text)
{
    const auto value = TextServices::portNumber(text);
    if (!value)
        throw UsageError{
            u"--port 需要 1 到 %1 之间的整数，收到“%2”。"_s.arg(maxPort).arg(text.left(40))};
    return QString::number(*value);
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

} // namespace

void password(const Invocation &call, ChunkedOutput &out)
{
    const Options &o = call.options;
    if (call.positional.size() > 1)
        throw UsageError{u"password 命令不接受参数“%1”。"_s.arg(call.positional.at(1).left(40))};
    rejectOptions(call.parser,
                  o.profileOptions() + QList<const QCommandLineOption *>{&o.host, &o.showPassword} +
                      o.configOptions() + o.siteOptions() + o.vaultOptions(),
                  u"password"_s);
    const PasswordRequest request = passwordRequest(call.parser, o);
    const qsizetype count = passwordCount(call.parser, o);
    for (qsizetype i = 0; i < count; ++i) {
        out.write(request.next(call.random));
        out.write('\n');
    }
}

void profile(const Invocation &call, ChunkedOutput &out)
{
    const QCommandLineParser &parser = call.parser;
    const Options &o = call.options;
    const QStringList &positional = call.positional;
    if (positional.size() < 2)
        throw UsageError{u"profile 命令需要一个域名，例如 sitepass-cli profile example.com。"_s};
    if (positional.size() > 2)
        throw UsageError{u"profile 只接受一个域名，多出了“%1”。"_s.arg(positional.at(2).left(40))};
    checkDomain(positional.at(1));
    rejectOptions(parser,
                  QList<const QCommandLineOption *>{&o.count, &o.host, &o.showPassword} +
                      QList<const QCommandLineOption *>{&o.engine} + o.webOptions() +
                      o.siteOptions(),
                  u"profile"_s);
    if (parser.isSet(o.crlf) && parser.isSet(o.json))
        throw UsageError{u"--crlf 和 --json 不能同时使用。"_s};
    const OutputFile output = outputFile(parser, o);
    for (const QCommandLineOption *option : {&o.keyFile, &o.noPassword, &o.dbHost})
        if (parser.isSet(*option) && !parser.isSet(o.vault))
            throw UsageError{u"--%1 只与 --vault 同用。"_s.arg(option->names().constFirst())};
    // The vault opens before anything is drawn; the report is printed once it is stored.
    std::unique_ptr<OpenedVault> vault;
    if (parser.isSet(o.vault)) {
        CoreDumps::disable();
        vault = openVault(call, parser.value(o.vault));
    }
    QString token;
    const SiteTexts t = newProfile(call, positional.at(1), token);
    if (vault) {
        storeProfile(call, *vault, t);
        saveVault(*vault, call.random, call.crypto);
    }
    writeProfile(call, t, token, output, out);
}

SiteTexts newProfile(const Invocation &call, const QString &domain, QString &token)
{
    const QCommandLineParser &parser = call.parser;
    const Options &o = call.options;
    const PasswordRequest request = passwordRequest(parser, o);
    SiteRecord fields;
    fields.setText(SiteField::SiteName, domain);
    fields.setText(SiteField::SitePort, checkedPort(parser.value(o.port)));
    fields.setText(SiteField::AdminPath, parser.value(o.adminPath));
    fields.setText(SiteField::AdminUser, parser.value(o.adminUser));
    token = SiteProfile::fill(
        fields, [&] { return request.next(call.random); }, call.clock);
    return SiteProfile::readTexts(fields);
}

void writeProfile(const Invocation &call, const SiteTexts &t, const QString &token,
                  const OutputFile &output, ChunkedOutput &out)
{
    QString text;
    if (call.parser.isSet(call.options.json)) {
        text = QString::fromUtf8(SiteProfile::toJson(t, token));
    } else {
        text = BuildSiteReport(t);
        if (!call.parser.isSet(call.options.crlf))
            text.replace(u"\r\n"_s, u"\n"_s);
    }
    // Written only once every step has succeeded.
    if (output.name.isEmpty())
        out.write(text);
    else
        writeNewFile(output.name, text, output.group);
}

} // namespace CommandLine
