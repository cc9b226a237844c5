// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RotateCommand.h"

#include "Clock.h"
#include "CoreDumps.h"
#include "FileReplacement.h"
#include "PasswordCommands.h"
#include "SettingsFile.h"
#include "SystemDatabaseSession.h"
#include "VaultCommand.h"
#include "VaultSites.h"

#include "OpenedFolder.h"
#include "SitePlan.h"

#include <QFileInfo>
#include <cerrno>
#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace CommandLine {

namespace {
using Status = DatabaseSession::Status;

// A real settings file is a few KiB; reading a huge one would take the machine's memory.
constexpr qint64 maxSettingsSize = 1 << 20;
using SettingsFile::Account;

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
    case Problem::Overrides:
        return u"“%1”里有 %2，Laravel 会用它里面的账户和密码而不是 "
               u"DB_PASSWORD；请先把它的值改成空或删掉它"
               "（把账户写进 DB_HOST、DB_USERNAME 等键）。"_s.arg(file, key);
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
    case ESPIPE:
        return u"它不是普通文件（而是管道、设备或套接字）"_s;
    case ELOOP:
        return u"它或它所在的某一层文件夹是一个符号链接，而这个链接可能是别的用户放的（root "
               "只跟随 root 自己的、别人改不了的文件夹里的链接）；请给出真正的路径"_s;
    case OpenedFolder::otherUsersFolder:
        return u"它的路径从一个用户的文件夹进到了另一个用户的文件夹里"_s;
    case EFBIG:
        return u"它大于 %1 KiB，不像设置文件"_s.arg(maxSettingsSize / 1024);
    case ENOTDIR:
        return u"路径里有一层不是文件夹"_s;
    case EMLINK:
        return u"它还有别的硬链接（文件名），换了这一个，别的名字仍是旧密码；请先改成只有一个名字"
               "（例如把硬链接换成符号链接）"_s;
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

    // What standard output gets: the new password, when asked for.
    QString shown;
    // --vault: the account's entry follows the file, written beside the vault and renamed
    // over it after the file.
    std::unique_ptr<OpenedVault> vault;
    QString finishedPassword; // the password a leftover copy put in the file

    QString vaultPassword(const KdbxFile::Vault &v, const Account &a) const
    {
        return VaultSites::databasePassword(v, a.user, a.database);
    }

    // The vault's entry to `password` through its copy; the copy alone when `commit` is false.
    void writeVault(const Account &a, const QString &password, bool commit)
    {
        VaultSites::setDatabasePassword(vault->vault, a.user, a.database,
                                        a.socket.isEmpty() ? a.host : a.socket, password,
                                        call.clock.now().toSecsSinceEpoch(), call.random);
        const QByteArray bytes =
            KdbxFile::write(vault->vault, vault->key, call.crypto, call.random);
        vault->file->discardCopy();
        if (bytes.isEmpty() || vault->file->writeCopy(bytes) != 0)
            throw Failure{u"无法在保险库“%1”旁写入新的保险库；什么都没有改。"_s.arg(vault->path)};
        if (commit)
            commitVault();
    }

    void commitVault()
    {
        if (const int error = vault->file->commit())
            throw Failure{u"密码已更换并写入“%1”，但无法替换保险库“%2”：%3；新的保险库在它旁边的 "
                          ".sitepass-rotate 文件里，再运行一次 rotate 会放好它。"_s.arg(
                              file, vault->path, fileError(error))};
        vault->file->syncFolder();
    }

    // A vault copy a killed run left: put in place where it holds what the file now holds and
    // the vault does not; dropped otherwise. True where it was put in place.
    bool finishedVaultLeftover(const Account &a, const QString &filePassword)
    {
        if (!vault || !vault->file->hasCopy())
            return false;
        QByteArray copy;
        const int error = vault->file->readCopy(copy);
        const KdbxFile::Opened left = error ? KdbxFile::Opened{KdbxFile::Problem::Damaged, {}}
                                            : KdbxFile::read(copy, vault->key, call.crypto);
        if (error == EPERM)
            throw Failure{
                u"“%1”的属主、组或权限与保险库不同，不是 rotate 留下的；请查看后删除它再运行。"_s
                    .arg(vault->file->copyPath())};
        if (left.problem == KdbxFile::Problem::None &&
            vaultPassword(left.vault, a) == filePassword &&
            vaultPassword(vault->vault, a) != filePassword) {
            commitVault();
            vault->vault = left.vault;
            call.err.write(
                (program + u": 了结了上次中断的更换：“%1”里的密码已写入保险库“%2”。\n"_s.arg(
                               file, vault->path))
                    .toUtf8());
            return true;
        }
        vault->file->discardCopy();
        return false;
    }

    // After a leftover was finished: the vault to the file's password too.
    void vaultFollowsFile(const Account &a, const QString &filePassword)
    {
        if (!vault || finishedVaultLeftover(a, filePassword))
            return;
        if (vaultPassword(vault->vault, a) != filePassword)
            writeVault(a, filePassword, true);
    }

    void writeSummary(const QString &line, const QString &password)
    {
        call.err.write((program + u": "_s + line + u'\n').toUtf8());
        if (call.parser.isSet(call.options.showPassword))
            shown = password + u'\n';
    }

    // Logs in with `password` and makes it the account's again; false where that is not known
    // to have happened.
    bool setServerTo(const Account &a, const QString &loginPassword, const QString &password)
    {
        SystemDatabaseSession session;
        return session.logIn(a, loginPassword) == Status::Ok &&
               session.run(SqlScript::passwordChange(dialectOf(a, session), password,
                                                     call.random)) == Status::Ok;
    }

    // The file back to `contents` through the copy, as it was replaced; false where it could
    // not, and then the copy, if it was written, is the journal a rerun decides by.
    bool setFileTo(const QByteArray &contents)
    {
        return replacement.writeCopy(contents) == 0 && replacement.commit() == 0 &&
               replacement.syncFolder() == 0;
    }

    // What a run killed between writing the copy and the end of its checks left: the copy and
    // the file hold the two passwords. Whichever the server takes decides. False where there was
    // nothing to finish and the rotation is to go on.
    bool finishedLeftover(const SettingsFile::Read &current)
    {
        QByteArray copy;
        const int error = replacement.readCopy(copy);
        // The file itself under the copy's name, as its user can plant it: no journal.
        if (error == EEXIST)
            return droppedCopy(u"是“%1”本身的另一个名字（硬链接），不是 rotate 留下的"_s.arg(file));
        if (error)
            throw Failure{
                error == EPERM
                    ? u"“%1”的属主、组或权限与原文件不同，不是 rotate 留下的；请查看后删除它再运行。"_s
                          .arg(replacement.copyPath())
                    : u"无法读取上次中断时留下的“%1”：%2；请查看后删除它再运行。"_s.arg(
                          replacement.copyPath(), fileError(error))};
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
        // A copy that holds what the file holds records no change.
        if (left.account.password == a.password)
            return droppedCopy(u"与“%1”的密码相同，不是上次中断的更换"_s.arg(file));
        SystemDatabaseSession withCopy;
        const Status tried = withCopy.logIn(a, left.account.password);
        if (tried == Status::Unreachable) // nothing can be decided: the copy stays, the journal
            throw Failure{
                describeLogin(withCopy, tried, a, QString()) +
                u"上次中断的更换留下的副本仍在原处，服务器恢复后再运行一次 rotate 会了结它。"_s};
        withCopy.close();
        // A copy that someone else could have written (the file or the copy not the caller's,
        // or writable by others) is never put in place: the site's user could have planted
        // both, with a password of its own set on the server.
        if (tried == Status::Ok && replacement.copyIsCallers() &&
            passwordsAreChecked(a, a.password)) {
            finishedPassword = left.account.password;
            if (const int error = replacement.commit())
                throw Failure{
                    u"上次中断的更换已在数据库服务器上生效，但无法替换“%1”：%2；它的新内容在旁边的 "
                    ".sitepass-rotate 文件里。"_s.arg(file, fileError(error))};
            replacement.syncFolder();
            writeSummary(u"了结了上次中断的更换：%1 在 %2 上用的密码已写入“%3”。"_s.arg(
                             accountName(a), withCopy.serverName(), file),
                         left.account.password);
            return true;
        }
        SystemDatabaseSession withFile;
        const Status status = withFile.logIn(a, a.password);
        if (status != Status::Ok && tried == Status::Ok)
            throw Failure{u"“%1”旁边的副本里的密码能登录，文件里的不能；但文件或副本不是以 root "
                          "的身份写的（或别人也能写），可能是站点用户自己放的，rotate 不会用它。"
                          "请查看后自己把它改名为“%1”或删除它再运行。"_s.arg(file)};
        if (status != Status::Ok)
            throw Failure{
                u"“%1”旁边有上次中断时留下的副本，但两个密码都登录不了（%2）；它留在原处。"_s.arg(
                    file, withFile.lastError())};
        if (const int error = replacement.discardCopy())
            throw Failure{u"无法删除上次中断时留下的副本：%1。"_s.arg(fileError(error))};
        call.err.write((program + u": 上次中断的更换没有生效，已删除它留下的副本。\n"_s).toUtf8());
        return false;
    }

    bool droppedCopy(const QString &why)
    {
        if (const int error = replacement.discardCopy())
            throw Failure{
                u"“%1”%2，但无法删除它：%3。"_s.arg(replacement.copyPath(), why, fileError(error))};
        call.err.write(
            (program + u": “%1”%2，已删除它。\n"_s.arg(replacement.copyPath(), why)).toUtf8());
        return false;
    }

    // Whether the server turns `password` away on the account's route: a server that lets any
    // password in (trust) proves nothing by a login.
    bool passwordsAreChecked(const Account &a, const QString &password)
    {
        SystemDatabaseSession session;
        return session.logIn(a, password) != Status::Ok;
    }

    void run(const PasswordRequest &request)
    {
        if (const int error = replacement.open()) {
            const QString message = u"无法打开“%1”：%2。"_s.arg(file, fileError(error));
            if (error == ENOENT || error == EISDIR || error == ESPIPE || error == EMLINK ||
                error == ELOOP || error == OpenedFolder::otherUsersFolder || error == EFBIG ||
                error == ENOTDIR)
                throw UsageError{message};
            throw Failure{message};
        }
        SettingsFile::Read current;
        try {
            current = SettingsFile::read(format, replacement.contents());
        } catch (const SettingsFile::Unreadable &e) {
            throw UsageError{describeProblem(e, file)};
        }
        stopHereForTests("opened");
        const Account &a = current.account;
        if (call.parser.isSet(call.options.vault)) // before the server is touched
            vault = openVault(call, call.parser.value(call.options.vault));
        if (replacement.hasCopy() && finishedLeftover(current)) {
            vaultFollowsFile(a, finishedPassword);
            return;
        }
        if (finishedVaultLeftover(a, a.password))
            return;

        {
            SystemDatabaseSession session;
            if (const Status status = session.logIn(a, a.password); status != Status::Ok)
                throw Failure{describeLogin(session, status, a, u"文件里的当前密码"_s)};

            // A password this file cannot hold exactly is drawn again, never written misread.
            QString password;
            std::optional<QByteArray> changed;
            for (int tries = 0; !changed && tries < 1000; ++tries) {
                password = request.next(call.random);
                if (password != a.password)
                    changed = SettingsFile::withPassword(format, replacement.contents(), current,
                                                         password);
            }
            if (!changed)
                throw UsageError{
                    u"这些密码设置抽不出“%1”能原样保存的密码；请换一组字符。"_s.arg(file)};

            // The new file whole and on disk before the server changes, so that the file can
            // follow the server at once, and a run killed from here on leaves its journal.
            if (const int error = replacement.writeCopy(*changed))
                throw Failure{u"无法在“%1”旁边写入新的设置：%2；什么都没有改。"_s.arg(
                    file, fileError(error))};
            stopHereForTests("copy");
            if (vault) {
                try {
                    writeVault(a, password, false);
                } catch (const Failure &) {
                    replacement.discardCopy();
                    throw;
                }
                stopHereForTests("vault-copy");
            }
            const Status changedOnServer = session.run(
                SqlScript::passwordChange(dialectOf(a, session), password, call.random));
            if (changedOnServer == Status::Unreachable)
                // Sent, and no answer: the server may have made the change. The copy stays.
                throw Failure{
                    u"更换 %1 的密码时与数据库服务器断开了连接（%2），不知道它是否已更换；"
                    "新的设置留在“%3”里，服务器恢复后再运行一次同样的 rotate "
                    "会按哪个密码能登录来了结。"_s.arg(accountName(a), session.lastError(),
                                                       replacement.copyPath())};
            if (changedOnServer != Status::Ok) {
                replacement.discardCopy();
                if (vault)
                    vault->file->discardCopy();
                throw Failure{u"数据库服务器拒绝更换 %1 的密码（%2）；什么都没有改。"_s.arg(
                    accountName(a), session.lastError())};
            }
            stopHereForTests("server");
            // The account's next login must not be one too many (MAX_USER_CONNECTIONS).
            session.close();
            finish(a, session.serverName(), password);
        }
    }

    // The server has the new password: the file follows at once, then logins prove it.
    void finish(const Account &a, const QString &server, const QString &password)
    {
        if (const int error = replacement.commit()) {
            if (setServerTo(a, password, a.password)) {
                replacement.discardCopy();
                if (vault)
                    vault->file->discardCopy();
                throw Failure{
                    u"无法替换“%1”：%2；已把数据库密码改回原来的。"_s.arg(file, fileError(error))};
            }
            throw Failure{u"无法替换“%1”：%2，也没能改回数据库密码；新的设置在它旁边的 "
                          ".sitepass-rotate 文件里，再运行一次 rotate 会完成更换。"_s.arg(
                              file, fileError(error))};
        }
        // From here the new password stands in the file; a failed sync is reported, not undone.
        const int synced = replacement.syncFolder();
        stopHereForTests("file");
        const QByteArray old = replacement.contents();
        SystemDatabaseSession check;
        const Status proof = check.logIn(a, password);
        check.close();
        if (proof == Status::Ok && !passwordsAreChecked(a, a.password)) {
            // Both passwords log in: the server does not check them for this account.
            const bool back = setBack(a, old, true);
            throw Failure{u"数据库服务器对 %1 不检查密码（旧密码也能登录，例如 trust 认证），"
                          "更换密码没有意义；%2"_s.arg(
                              accountName(a),
                              back ? u"已把服务器和文件都改回原来的密码。"_s
                                   : u"没能都改回原来的：原来的设置在“%1”旁边的 .sitepass-rotate "
                                     "文件里，再运行一次 rotate 会了结。"_s.arg(file))};
        }
        if (proof != Status::Ok) {
            const QString why = check.lastError();
            const bool back = setBack(a, old, proof != Status::Unreachable);
            throw Failure{
                back ? u"新密码登录失败（%1）；已把数据库密码和文件都改回原来的。"_s.arg(why)
                     : u"新密码登录失败（%1），也没能改回原来的密码；“%2”里是新密码，原来的设置"
                       "在它旁边的 .sitepass-rotate 文件里，服务器恢复后再运行一次 rotate "
                       "会按哪个密码能登录来了结。"_s.arg(why, file)};
        }
        if (vault)
            commitVault();
        if (synced)
            throw Failure{u"已更换 %1 在 %2 上的密码并写入“%3”，但无法把文件夹的改动写到磁盘"
                          "（%4）：断电时文件可能回到旧密码。"_s.arg(accountName(a), server, file,
                                                                     fileError(synced))};
        writeSummary(u"已更换 %1 在 %2 上的密码，并写入“%3”。"_s.arg(accountName(a), server, file),
                     password);
    }

    // The server and the file back to the old password where the old password still logs in;
    // otherwise the old settings beside the file, for a rerun to decide by.
    bool setBack(const Account &a, const QByteArray &old, bool serverAnswers)
    {
        if (vault) // the vault keeps the password the file had
            vault->file->discardCopy();
        if (serverAnswers && setServerTo(a, a.password, a.password) && setFileTo(old))
            return true;
        if (!replacement.hasCopy())
            replacement.writeCopy(old);
        return false;
    }
};
} // namespace

QString rotate(const Invocation &call)
{
    const Options &o = call.options;
    const QStringList &positional = call.positional;
    rejectOptions(call.parser,
                  QList<const QCommandLineOption *>{&o.count, &o.host} + o.profileOptions() +
                      o.configOptions() + o.siteOptions(),
                  u"rotate"_s);
    for (const QCommandLineOption *option : {&o.keyFile, &o.noPassword})
        if (call.parser.isSet(*option) && !call.parser.isSet(o.vault))
            throw UsageError{u"--%1 只与 --vault 同用。"_s.arg(option->names().constFirst())};
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
    // Laravel's cached settings would keep the old password after the .env has the new one:
    // beside the name given (a release's link) and beside the file it leads to alike.
    if (*format == AppConfig::Format::Laravel) {
        for (const QString &folder :
             {QFileInfo(file).absolutePath(),
              QFileInfo(QFileInfo(file).canonicalFilePath()).absolutePath()}) {
            const QString cache = folder + u"/bootstrap/cache/config.php"_s;
            if (QFileInfo::exists(cache))
                throw UsageError{
                    u"这个 Laravel 程序缓存了配置（%1），换了 .env 里的密码它也仍用旧的；"
                    "请先在程序目录运行 php artisan config:clear。"_s.arg(cache)};
        }
    }
    // Both passwords are in this process's memory from here on.
    CoreDumps::disable();
    // As root, the run's lock is in root's state folder: a site's user may read its settings
    // file and so could hold a lock on the file itself for as long as it liked.
#ifdef Q_OS_WIN
    const QString lockFolder;
#else
    const QString lockFolder =
        geteuid() == 0 ? SitePlan::Layout().stateFolder + u"/rotate"_s : QString();
#endif
    Rotation rotation{call, *format, file, FileReplacement(file, lockFolder, maxSettingsSize),
                      {},   {},      {}};
    rotation.run(request);
    return rotation.shown;
}

} // namespace CommandLine
