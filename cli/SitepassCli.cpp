// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SitepassCli.h"

#include "ChunkedOutput.h"
#include "CommandLine.h"
#include "ConfigCommand.h"
#include "HelpText.h"
#include "PasswordCommands.h"
#include "RotateCommand.h"
#include "SiteCommand.h"
#include "SitepassError.h"
#include "SqlCommand.h"
#include "VaultCommand.h"

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

using Rows = QList<std::pair<QString, QString>>;

void addGroup(Rows &rows, const QString &title, const QList<const QCommandLineOption *> &options)
{
    rows.append({QString(), QString()});
    rows.append({title, QString()});
    for (const QCommandLineOption *option : options)
        rows.append({helpLeft(*option), option->description()});
}

// --help alone: the verbs, each in a line or two.
QString summary(const Options &o)
{
    Rows rows = {
        {u"命令："_s, {}},
        {u"password"_s, u"打印密码，每行一个。"_s},
        {u"profile 域名"_s, u"打印十行的站点报告，例如 profile example.com。"_s},
        {u"sql 方言 [文件]"_s, u"读入站点资料（报告或 JSON，默认读标准输入），"_s},
        {QString(), u"打印建立其数据库和用户的 SQL；方言为 mariadb、mysql 或 postgresql。"_s},
        {u"config 格式 [文件]"_s, u"读入站点资料，打印网站程序的数据库设置"_s},
        {QString(),
         u"（laravel、wordpress、php）或 Web 服务器的配置（php-fpm、nginx、apache）。"_s},
        {u"rotate 格式 文件"_s, u"更换网站的数据库密码：在数据库服务器上和设置文件里一起换"_s},
        {QString(), u"（laravel 的 .env、wordpress 的 wp-config.php、php 的数组文件）。"_s},
        {u"site add 域名"_s, u"在这台 Debian 服务器上建好整个站点：用户、文件夹、数据库、设置、"_s},
        {QString(), u"进程池和 Web 服务器配置；任何一步失败都全部撤销。site remove、site list。"_s},
        {u"vault create|add"_s,
         u"把站点的账户存进 KeePass 保险库（KDBX），KeePassXC 等都能打开；"_s},
        {QString(), u"profile --vault、rotate --vault 也写进去。"_s},
        {u"help 命令"_s, u"显示这个命令的用法和选项，同 sitepass-cli 命令 --help。"_s},
    };
    addGroup(rows, u"其他："_s, {&o.help, &o.version});
    return u"用法：sitepass-cli 命令 [参数] [选项]\n生成随机密码、网站的站点资料，以及建立其数据库和用户的 SQL、网站程序的设置和 Web 服务器的配置。\n\n"_s +
           HelpText::columns(rows);
}

// help VERB, VERB --help: that verb's usage and options only.
QString verbHelp(const Options &o, const QString &verb)
{
    Rows rows;
    QString usage;
    if (verb == u"password"_s) {
        usage = u"password [选项]\n打印密码，每行一个；默认为 16 位的 A-Z、a-z 和 0-9。"_s;
        addGroup(rows, u"选项："_s,
                 o.passwordOptions() + QList<const QCommandLineOption *>{&o.count});
    } else if (verb == u"profile"_s) {
        usage = u"profile 域名 [选项]\n打印十行的站点报告，例如 profile example.com。"_s;
        addGroup(rows, u"选项："_s, o.profileOptions() + o.fileOptions());
        addGroup(rows, u"两个密码的选项："_s, o.passwordOptions());
        addGroup(rows, u"保险库（打印报告前先存进去）："_s,
                 QList<const QCommandLineOption *>{&o.vault, &o.keyFile, &o.noPassword, &o.dbHost});
    } else if (verb == u"sql"_s) {
        usage =
            u"sql mariadb|mysql|postgresql [文件]\n读入站点资料（报告或 JSON，默认读标准输入），打印建立其数据库和用户的 SQL。"_s;
        addGroup(rows, u"选项："_s, {&o.host});
    } else if (verb == u"config"_s) {
        usage = u"config 格式 [文件] [选项]\n读入站点资料（报告或 "
                u"JSON，默认读标准输入），打印这种格式的文件：\n"
                "  laravel（.env）、wordpress（完整的 wp-config.php）、php（返回数组的 PHP "
                "文件），\n"
                "  php-fpm（进程池）、nginx（server 块）、apache（VirtualHost）。"_s;
        addGroup(rows, u"所有格式："_s, o.fileOptions());
        addGroup(rows, u"laravel、wordpress 和 php："_s, o.appOptions());
        addGroup(rows, u"php-fpm、nginx 和 apache（同一组选项通用于三者）："_s, o.webOptions());
    } else if (verb == u"rotate"_s) {
        usage =
            u"rotate laravel|wordpress|php 文件 [选项]\n"
            "以文件里的账户和当前密码登录数据库，换成新抽的密码，并在原处替换文件（只改密码的值）。"
            "\n"
            "顺序：新文件先完整写在旁边，再改服务器上的密码，立刻一步替换文件，然后用新密码登录确认"
            "；\n"
            "中途被终止或服务器没有回应时，再运行一次同样的命令会按哪个密码能登录来了结。\n"
            "只更换网站登录用的那个账户：同名用户在其他主机上的账户（如 'u'@'localhost' 和 "
            "'u'@'%'）\n"
            "不变，请用管理员账户处理。\n"
            "文件或它路径上的某一层若是别的用户（如站点用户）可以放或改的符号链接，就拒绝（退出状态"
            " "
            "2）；\n"
            "大于 1 MiB 的文件也拒绝。以 root 运行时，锁在 /var/lib/sitepass/rotate 里，站点用户拿不到。"_s;
        addGroup(rows, u"新密码的选项："_s, o.passwordOptions());
        addGroup(rows, u"输出："_s, {&o.showPassword});
        addGroup(rows, u"保险库（动服务器之前先打开，账户的条目跟着文件换）："_s, o.vaultOptions());
    } else if (verb == u"site"_s) {
        usage =
            u"site add 域名 --app php|laravel|wordpress [选项]\n"
            "      site remove 域名 [--drop-database] [--delete-files]\n"
            "      site list [--json]\n"
            "以 root 在 Debian 服务器上建好整个站点：站点自己的系统用户，站点文件夹和 PHP "
            "自己的文件夹，\n"
            "占位的 index.php，数据库和数据库用户（以数据库管理员身份），网站程序的设置，进程池，\n"
            "Web 服务器配置；重载服务器，再从本机请求一次站点。每一步之前先记进 "
            "/var/lib/sitepass/域名.json，\n"
            "任何一步失败都按相反的顺序撤销已做的步骤；被终止时，site remove 会删掉已建的部分。\n"
            "--app wordpress 还装好 WordPress：文件取自 /usr/share/wordpress（apt install "
            "wordpress php）\n"
            "或 --wordpress-from，再以站点用户运行它自己的安装程序，报告里的管理员账户就能登录。\n"
            "动手之前先查：php-fpm 和 Web 服务器在运行，进程池的 PHP 有网站程序要的扩展"
            "（缺了就指明要装的包）。\n"
            "site remove 默认保留站点的文件和数据库，这时站点的用户也留着（锁定），\n"
            "免得以后的站点分到同样的用户号；之后 site remove --delete-files --drop-database "
            "删掉它们和用户。"_s;
        // A site's database is MariaDB's or PostgreSQL's: site add refuses mysql.
        const QCommandLineOption siteEngine{
            u"engine"_s, u"数据库：mariadb 或 postgresql（默认 mariadb）。"_s, u"数据库"_s};
        addGroup(rows, u"site add："_s,
                 {&o.app, &siteEngine, &o.server, &o.profile, &o.json, &o.output, &o.group,
                  &o.wordpressFrom, &o.adminEmail});
        addGroup(rows, u"站点资料（不给 --profile 时）："_s,
                 o.profileOptions().mid(0, 3) + o.passwordOptions());
        addGroup(rows, u"Web 服务器（同 config）："_s,
                 {&o.siteRoot, &o.runDir, &o.webUser, &o.phpSocket, &o.listenAddress, &o.adminAllow,
                  &o.tlsCertificate, &o.tlsKey, &o.tlsPort, &o.maxUpload, &o.logDir});
        addGroup(rows, u"保险库（site add 动手之前先打开，报告打印之前存进站点的两个账户）："_s,
                 o.vaultOptions());
        addGroup(rows, u"其他布局（LNMP、面板，默认 Debian 的）："_s, o.layoutOptions());
        addGroup(rows, u"site remove："_s, {&o.dropDatabase, &o.deleteFiles});
    } else if (verb == u"vault"_s) {
        usage =
            u"vault create 保险库 [--key-file 文件]\n"
            "      vault add 保险库 站点资料.json [--key-file 文件]\n"
            "create 建一个新的 KeePass 保险库（KDBX 4，Argon2id，约一秒的密钥派生，0600，"
            "不覆盖已有的文件）；\n"
            "add 把站点的数据库账户和管理员账户存进“sitepass/站点”组里；同一站点再存时更新这两个"
            "条目，\n"
            "旧的值留在条目的历史里。保险库先完整写在旁边，再一步替换，属主和权限不变。\n"
            "主密码在终端上不回显地输入（create "
            "输两次）；标准输入不是终端时，它的第一行是主密码。\n"
            "只用密钥文件的保险库：加 --key-file 文件 --no-password（不读主密码），create 和 add "
            "都一样；\n"
            "主密码为空的保险库（KeePass 允许）用一个空行打开，但 create 不建没有钥匙的保险库。"_s;
        addGroup(rows, u"选项："_s,
                 QList<const QCommandLineOption *>{&o.keyFile, &o.noPassword, &o.dbHost});
    } else {
        throw UsageError{
            u"没有“%1”这个命令：应为 password、profile、sql、config、rotate、site 或 vault。"_s.arg(
                verb.left(40))};
    }
    return u"用法：sitepass-cli "_s + usage + u"\n"_s + HelpText::columns(rows);
}

void writeLine(QIODevice &device, const QString &line)
{
    device.write((program + u": "_s + line + u'\n').toUtf8());
}
} // namespace

int run(const QStringList &arguments, RandomSource &random, const Clock &clock, VaultCrypto &crypto,
        QIODevice &in, QIODevice &out, QIODevice &err)
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
        const QStringList positional = parser.positionalArguments();
        if (positional.value(0) == u"help"_s && positional.size() <= 2) {
            output.write(positional.size() == 2 ? verbHelp(o, positional.at(1)) : summary(o));
        } else if (parser.isSet(o.help)) {
            output.write(positional.isEmpty() ? summary(o) : verbHelp(o, positional.at(0)));
        } else if (parser.isSet(o.version)) {
            output.write(program + QStringLiteral(" " SITEPASS_VERSION "\n"));
        } else {
            const Invocation call{parser, o, positional, random, clock, crypto, in, err};
            const QString command = call.positional.value(0);
            if (command == u"password"_s)
                password(call, output);
            else if (command == u"profile"_s)
                profile(call, output);
            else if (command == u"sql"_s)
                output.write(sql(call));
            else if (command == u"config"_s)
                config(call, output);
            else if (command == u"rotate"_s)
                output.write(rotate(call));
            else if (command == u"site"_s)
                site(call, output);
            else if (command == u"vault"_s)
                vault(call, output);
            else
                throw UsageError{
                    command.isEmpty()
                        ? u"缺少命令：password、profile、sql、config、rotate、site 或 vault（见 sitepass-cli --help）。"_s
                        : u"未知命令“%1”：应为 password、profile、sql、config、rotate、site 或 vault。"_s
                              .arg(command.left(40))};
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
