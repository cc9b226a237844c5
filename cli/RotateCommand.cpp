// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RotateCommand.h"

#include "FileReplacement.h"
#include "PasswordCommands.h"
#include "SettingsFile.h"
#include "SystemDatabaseSession.h"

#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace CommandLine {

namespace {
using Status = DatabaseSession::Status;
using SettingsFile::Account;

// For the tests of an interrupted run: the process kills itself at the named step, as a power
// cut would stop it.
void stopHereForTests(const char *step)
{
    if (qEnvironmentVariable("SITEPASS_TEST_KILL_AT") != QLatin1String(step))
        return;
#ifdef SIGKILL
    raise(SIGKILL);
#else
    std::abort();
#endif
}

QString accountName(const Account &a)
{
    QString where = a.socket.isEmpty() ? a.host : a.socket;
    if (a.port)
        where += u':' + QString::number(a.port);
    return u"%1@%2"_s.arg(a.user, where.isEmpty() ? u"localhost"_s : where);
}

QString describeProblem(const SettingsFile::Unreadable &e, const QString &file)
{
    using SettingsFile::Problem;
    const QString key = e.key;
    switch (e.problem) {
    case Problem::Missing:
        return u"“%1”里没有 %2，无法知道要更换哪个账户的密码。"_s.arg(file, key);
    case Problem::Twice:
        return u"“%1”里 %2 出现了不止一次，不知道网站程序用的是哪一个；请先删掉多余的。"_s.arg(file,
                                                                                               key);
    case Problem::NotLiteral:
        return u"“%1”里 %2 的值不是一个原样的值（${…}、$(…)、两种解析器读法不同的转义，或 PHP "
               "表达式而非单引号字符串）；请先把它改成原样的值。"_s.arg(file, key);
    case Problem::MultiLine:
        return u"“%1”里 %2 的值跨了多行；请先把它写在一行里。"_s.arg(file, key);
    case Problem::Disagree:
        return key.isEmpty()
                   ? u"“%1”有单独的 CR 换行，phpdotenv 和 Symfony 会读成不同的行。"_s.arg(file)
                   : u"“%1”里 %2 那一行 phpdotenv 和 Symfony 会读成不同的值（等号前的空白、"
                     "多行值里的同名行，或 \\n、\\\" 之类的组合）；请先改成两者读法相同的写法。"_s
                         .arg(file, key);
    case Problem::Engine:
        return u"“%1”里 %2 不是 mysql、mariadb 或 pgsql：rotate 只更换 MariaDB、MySQL 和 "
               "PostgreSQL 的密码。"_s.arg(file, key);
    case Problem::Port:
        return u"“%1”里 %2 的端口不是 1 到 65535 的数字。"_s.arg(file, key);
    }
    Q_UNREACHABLE();
}

QString describeLogin(const DatabaseSession &session, Status status, const Account &a,
                      const QString &which)
{
    switch (status) {
    case Status::WrongPassword:
        return u"数据库服务器拒绝了 %1 用%2登录（%3）。"_s.arg(accountName(a), which,
                                                               session.lastError());
    case Status::Unreachable:
        return u"连不上 %1 的数据库服务器（%2）。"_s.arg(accountName(a), session.lastError());
    default:
        return u"数据库服务器拒绝了 %1 的登录（%2）。"_s.arg(accountName(a), session.lastError());
    }
}

QString fileError(int error)
{
    switch (error) {
    case ENOENT:
        return u"文件不存在"_s;
    case EWOULDBLOCK:
        return u"另一个 rotate 正在更换它"_s;
    case EBUSY:
        return u"它正被占用（例如挂载在那里）"_s;
    default:
        return describeCreateFailure(error);
    }
}

SqlScript::Dialect dialectOf(const Account &a, const DatabaseSession &session)
{
    if (a.engine == SqlScript::Dialect::PostgreSql)
        return SqlScript::Dialect::PostgreSql;
    return session.isMariaDb() ? SqlScript::Dialect::MariaDb : SqlScript::Dialect::MySql;
}

struct Rotation
{
    const Invocation &call;
    AppConfig::Format format;
    QString file;
    FileReplacement replacement;

    // Sets the server's password back on the session that changed it.
    bool setBack(DatabaseSession &session, const Account &a, const QString &password)
    {
        return session.run(SqlScript::passwordChange(dialectOf(a, session), password,
                                                     call.random)) == Status::Ok;
    }

    // What a run killed between writing the copy and replacing the file left: the copy holds
    // the new password, the file the old. Whichever the server takes decides.
    bool finishedLeftover(const SettingsFile::Read &current)
    {
        QByteArray copy;
        if (const int error = replacement.readCopy(copy))
            throw Failure{
                error == EPERM
                    ? u"“%1”的属主、组或权限与原文件不同，不是 rotate 留下的；请查看后删除它再运行。"_s
                          .arg(replacement.copyPath())
                    : u"无法读取上次中断时留下的“%1”：%2。"_s.arg(replacement.copyPath(),
                                                                  fileError(error))};
        SettingsFile::Read left;
        try {
            left = SettingsFile::read(format, copy);
        } catch (const SettingsFile::Unreadable &) {
            left.account.user.clear();
        }
        const Account &a = current.account;
        if (left.account.user != a.user || left.account.database != a.database)
            throw Failure{
                u"“%1”旁边有一个不是这个账户的 .sitepass-rotate 文件；请查看后删除它再运行。"_s.arg(
                    file)};
        SystemDatabaseSession withNew;
        const Status tried = withNew.logIn(a, left.account.password);
        if (tried == Status::Unreachable) // nothing can be decided: the copy stays, the journal
            throw Failure{describeLogin(withNew, tried, a, QString())};
        if (tried == Status::Ok) {
            if (const int error = replacement.commit())
                throw Failure{
                    u"上次中断的更换已在数据库服务器上生效，但无法替换“%1”：%2；新的设置在它旁边的 "
                    ".sitepass-rotate 文件里。"_s.arg(file, fileError(error))};
            writeSummary(u"完成了上次中断的更换：%1 的新密码已在 %2 上生效并写入“%3”。"_s.arg(
                             accountName(a), withNew.serverName(), file),
                         left.account.password);
            return true;
        }
        SystemDatabaseSession withOld;
        const Status status = withOld.logIn(a, a.password);
        if (status != Status::Ok)
            throw Failure{
                u"“%1”旁边有上次中断时留下的新设置，但新旧密码都登录不了（%2）；它留在原处。"_s.arg(
                    file, withOld.lastError())};
        if (const int error = replacement.discardCopy())
            throw Failure{u"无法删除上次中断时留下的副本：%1。"_s.arg(fileError(error))};
        call.err.write((program + u": 上次中断的更换没有生效，已删除它留下的副本。\n"_s).toUtf8());
        return false;
    }

    // What standard output gets: the new password, when asked for.
    QString shown;

    void writeSummary(const QString &line, const QString &password)
    {
        call.err.write((program + u": "_s + line + u'\n').toUtf8());
        if (call.parser.isSet(call.options.showPassword))
            shown = password + u'\n';
    }

    void run(const PasswordRequest &request)
    {
        if (const int error = replacement.open()) {
            const QString message = u"无法打开“%1”：%2。"_s.arg(file, fileError(error));
            if (error == ENOENT || error == EISDIR)
                throw UsageError{message};
            throw Failure{message};
        }
        SettingsFile::Read current;
        try {
            current = SettingsFile::read(format, replacement.contents());
        } catch (const SettingsFile::Unreadable &e) {
            throw UsageError{describeProblem(e, file)};
        }
        const Account &a = current.account;
        if (replacement.hasCopy() && finishedLeftover(current))
            return;

        SystemDatabaseSession session;
        if (const Status status = session.logIn(a, a.password); status != Status::Ok)
            throw Failure{describeLogin(session, status, a, u"文件里的当前密码"_s)};

        // A password this file cannot hold exactly is drawn again, never written misread.
        QString password;
        std::optional<QByteArray> changed;
        for (int tries = 0; !changed && tries < 1000; ++tries) {
            password = request.next(call.random);
            if (password != a.password)
                changed =
                    SettingsFile::withPassword(format, replacement.contents(), current, password);
        }
        if (!changed)
            throw UsageError{u"这些密码设置抽不出“%1”能原样保存的密码；请换一组字符。"_s.arg(file)};

        if (const int error = replacement.writeCopy(*changed))
            throw Failure{
                u"无法在“%1”旁边写入新的设置：%2；什么都没有改。"_s.arg(file, fileError(error))};
        stopHereForTests("copy");
        const SqlScript::Dialect dialect = dialectOf(a, session);
        if (session.run(SqlScript::passwordChange(dialect, password, call.random)) != Status::Ok) {
            replacement.discardCopy();
            throw Failure{u"数据库服务器拒绝更换 %1 的密码（%2）；什么都没有改。"_s.arg(
                accountName(a), session.lastError())};
        }
        stopHereForTests("server");
        SystemDatabaseSession check;
        if (const Status status = check.logIn(a, password); status != Status::Ok) {
            const bool back = setBack(session, a, a.password);
            replacement.discardCopy();
            throw Failure{u"新密码登录失败（%1）；%2"_s.arg(
                check.lastError(), back ? u"已把数据库密码改回原来的，文件没有改。"_s
                                        : u"而且没能改回原来的密码：请用管理员账户处理。"_s)};
        }
        if (const int error = replacement.commit()) {
            if (setBack(session, a, a.password)) {
                replacement.discardCopy();
                throw Failure{
                    u"无法替换“%1”：%2；已把数据库密码改回原来的。"_s.arg(file, fileError(error))};
            }
            throw Failure{u"无法替换“%1”：%2，也没能改回数据库密码；新的设置在它旁边的 "
                          ".sitepass-rotate 文件里，再运行一次 rotate 会完成更换。"_s.arg(
                              file, fileError(error))};
        }
        writeSummary(u"已更换 %1 在 %2 上的密码，并写入“%3”。"_s.arg(accountName(a),
                                                                     session.serverName(), file),
                     password);
    }
};
} // namespace

QString rotate(const Invocation &call)
{
    const Options &o = call.options;
    const QStringList &positional = call.positional;
    rejectOptions(call.parser,
                  QList<const QCommandLineOption *>{&o.count, &o.host} + o.profileOptions() +
                      o.configOptions(),
                  u"rotate"_s);
#ifdef Q_OS_WIN
    throw UsageError{
        u"rotate 在网站所在的 Linux 服务器上运行：它要读写服务器上的设置文件并登录那里的数据库。"_s};
#endif
    if (positional.size() < 3)
        throw UsageError{
            u"rotate 命令需要格式和设置文件，例如 rotate laravel /var/www/site/.env。"_s};
    if (positional.size() > 3)
        throw UsageError{u"rotate 只接受一个文件，多出了“%1”。"_s.arg(positional.at(3).left(40))};
    const auto format = AppConfig::formatNamed(positional.at(1));
    if (!format)
        throw UsageError{u"未知的格式“%1”：rotate 的格式为 laravel、wordpress 或 php。"_s.arg(
            positional.at(1).left(40))};
    const PasswordRequest request = passwordRequest(call.parser, o);
    const QString file = positional.at(2);
    // Laravel's cached settings would keep the old password after the .env has the new one.
    if (*format == AppConfig::Format::Laravel) {
        const QString cache = QFileInfo(file).absolutePath() + u"/bootstrap/cache/config.php"_s;
        if (QFileInfo::exists(cache))
            throw UsageError{u"这个 Laravel 程序缓存了配置（%1），换了 .env 里的密码它也仍用旧的；"
                             "请先在程序目录运行 php artisan config:clear。"_s.arg(cache)};
    }
    Rotation rotation{call, *format, file, FileReplacement(file), {}};
    rotation.run(request);
    return rotation.shown;
}

} // namespace CommandLine
