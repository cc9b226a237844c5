// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "VaultCommand.h"

#include "ChunkedOutput.h"
#include "Clock.h"
#include "CoreDumps.h"
#include "NewFile.h"
#include "Terminal.h"
#include "VaultSites.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>

namespace CommandLine {

namespace {
void say(const Invocation &call, const QString &line)
{
    call.err.write((program + u": "_s + line + u'\n').toUtf8());
}

constexpr qsizetype maxVaultBytes = qsizetype(256) << 20;
constexpr qsizetype maxKeyFileBytes = qsizetype(64) << 20;

// On the terminal without echo, or the first line of standard input as scripts give it.
QString masterPassword(const Invocation &call, bool twice)
{
    if (Terminal::inputIsTerminal()) {
        const auto first = Terminal::readHidden(u"保险库的主密码："_s);
        if (!first)
            throw UsageError{u"没有读到主密码。"_s};
        if (twice && Terminal::readHidden(u"再输入一次主密码："_s) != first)
            throw UsageError{u"两次输入的主密码不一样，什么都没有写。"_s};
        return *first;
    }
    QByteArray line = call.in.readLine(65536);
    if (line.isEmpty())
        throw UsageError{u"没有读到主密码：标准输入不是终端时，它的第一行是主密码。"_s};
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    const QString password = QString::fromUtf8(line);
    line.fill('\0');
    return password;
}

QByteArray keyFromFile(const Invocation &call)
{
    if (!call.parser.isSet(call.options.keyFile))
        return {};
    const QString name = call.parser.value(call.options.keyFile);
    QFile file(name);
    if (!QFileInfo(name).isFile() || !file.open(QIODevice::ReadOnly))
        throw UsageError{u"无法读取密钥文件“%1”。"_s.arg(name.left(200))};
    const QByteArray bytes = file.read(maxKeyFileBytes + 1);
    if (bytes.size() > maxKeyFileBytes)
        throw UsageError{u"密钥文件“%1”太大。"_s.arg(name.left(200))};
    const QByteArray key = KdbxFile::keyFileKey(call.crypto, bytes);
    if (key.isEmpty())
        throw UsageError{
            u"密钥文件“%1”是 KeePass 的 XML 密钥文件，但它的内容不对。"_s.arg(name.left(200))};
    return key;
}

// The keys to try, in order. A vault of a key file alone has no password part; KeePass also
// lets a vault have an empty password, which is another key: with a key file and an empty line
// both are tried, as KeePassXC does.
QList<QByteArray> compositeKeys(const Invocation &call, bool creating)
{
    const QByteArray fromFile = keyFromFile(call);
    if (call.parser.isSet(call.options.noPassword)) {
        if (fromFile.isEmpty())
            throw UsageError{u"--no-password 要与 --key-file 同用：保险库至少要有一样钥匙。"_s};
        return {KdbxFile::compositeKey(call.crypto, std::nullopt, fromFile)};
    }
    const QString password = masterPassword(call, creating);
    if (!password.isEmpty())
        return {KdbxFile::compositeKey(call.crypto, password, fromFile)};
    // A new vault never gets an empty password: an unset variable piped in would make one that
    // anyone opens.
    if (creating && fromFile.isEmpty())
        throw UsageError{u"主密码是空的，又没有 --key-file：保险库需要其中之一。"_s};
    if (fromFile.isEmpty())
        return {KdbxFile::compositeKey(call.crypto, password, {})};
    QList<QByteArray> keys{KdbxFile::compositeKey(call.crypto, std::nullopt, fromFile)};
    if (!creating)
        keys << KdbxFile::compositeKey(call.crypto, password, fromFile);
    return keys;
}

// Argon2id over 64 MiB in as many lanes as the processor has, with as many passes as take
// about a second here.
KdbxFile::Argon2Settings calibrated(VaultCrypto &crypto)
{
    KdbxFile::Argon2Settings s;
    s.parallelism = std::uint32_t(std::clamp(QThread::idealThreadCount(), 1, 8));
    // A derivation's cost is a fixed part (the memory's first touch) and a part per pass: two
    // runs far apart in passes tell them apart, so that the whole comes to about a second.
    const auto time = [&](std::uint32_t passes) {
        bool ok = false;
        QElapsedTimer timer;
        timer.start();
        crypto.argon2(VaultCrypto::Argon2::Id, QByteArray(32, '\0'), QByteArray(32, '\1'), passes,
                      s.memoryBytes / 1024, s.parallelism, ok);
        return timer.elapsed();
    };
    const qint64 one = time(1);
    const qint64 nine = time(9);
    const qint64 perPass = std::max<qint64>(1, (nine - one) / 8);
    const qint64 fixed = std::max<qint64>(0, one - perPass);
    // A first run slowed by a busy machine makes the passes look nearly free (559 passes, a
    // 14 s open, was seen): never more than three times what nine passes alone would say.
    const qint64 allPerPass = std::max<qint64>(1, 9000 / std::max<qint64>(1, nine)) * 3;
    s.iterations =
        std::uint32_t(std::clamp<qint64>(std::min((1000 - fixed) / perPass, allPerPass), 2, 1000));
    return s;
}

void create(const Invocation &call)
{
    if (call.positional.size() != 3)
        throw UsageError{u"vault create 需要一个新文件名，例如 vault create sites.kdbx。"_s};
    const QString path = call.positional.at(2);
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw UsageError{u"“%1”已存在，不会覆盖它。"_s.arg(path.left(200))};
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
        throw UsageError{u"“%1”的文件夹不存在。"_s.arg(path.left(200))};
    CoreDumps::disable();
    const QByteArray key = compositeKeys(call, true).constFirst();
    const KdbxFile::Vault vault =
        KdbxFile::create(QFileInfo(path).completeBaseName(), calibrated(call.crypto),
                         call.clock.now().toSecsSinceEpoch(), call.random);
    const QByteArray bytes = KdbxFile::write(vault, key, call.crypto, call.random);
    if (bytes.isEmpty())
        throw Failure{u"加密库没能生成保险库。"_s};
    NewFile file(path);
    const auto refuse = [&](int error) {
        if (error == EEXIST)
            throw UsageError{u"“%1”已存在，不会覆盖它。"_s.arg(path.left(200))};
        throw Failure{
            u"无法创建保险库“%1”：%2。"_s.arg(path.left(200), describeCreateFailure(error))};
    };
    if (const int error = file.open())
        refuse(error);
    if (file.device().write(bytes) != bytes.size())
        refuse(ENOSPC);
    if (const int error = file.commit())
        refuse(error);
    say(call, u"已建好保险库“%1”（KDBX 4，Argon2id）。"_s.arg(path));
}

void add(const Invocation &call)
{
    if (call.positional.size() != 4)
        throw UsageError{u"vault add 需要保险库和站点资料两个文件，例如 vault add sites.kdbx "
                         "example.com.json。"_s};
    const QString profileFile = call.positional.at(3);
    if (profileFile == u"-"_s)
        throw UsageError{u"vault add 的站点资料要是文件：标准输入留给主密码。"_s};
    // The profile is checked before the key derivation spends its second.
    QBuffer none;
    const SiteTexts profile = readSiteProfile(profileFile, none, SqlScript::Dialect::MariaDb);
    CoreDumps::disable();
    const auto opened = openVault(call, call.positional.at(2));
    storeProfile(call, *opened, profile);
    saveVault(*opened, call.random, call.crypto);
    say(call,
        u"已把站点 %1 的数据库和管理员账户存进保险库“%2”。"_s.arg(profile.siteName, opened->path));
}
} // namespace

std::unique_ptr<OpenedVault> openVault(const Invocation &call, const QString &path)
{
    auto opened = std::make_unique<OpenedVault>();
    opened->path = path;
    opened->file = std::make_unique<FileReplacement>(path);
    if (const int error = opened->file->open()) {
        if (error == ENOENT)
            throw UsageError{
                u"没有保险库“%1”：先用 sitepass-cli vault create 建一个。"_s.arg(path.left(200))};
        if (error == EWOULDBLOCK)
            throw Failure{u"另一个 sitepass-cli 正在写保险库“%1”。"_s.arg(path.left(200))};
        throw UsageError{
            u"无法打开保险库“%1”：%2。"_s.arg(path.left(200), describeCreateFailure(error))};
    }
    if (opened->file->contents().size() > maxVaultBytes)
        throw UsageError{u"保险库“%1”太大。"_s.arg(path.left(200))};
    const QList<QByteArray> keys = compositeKeys(call, false);
    KdbxFile::Opened read;
    for (const QByteArray &key : keys) {
        opened->key = key;
        read = KdbxFile::read(opened->file->contents(), key, call.crypto);
        if (read.problem != KdbxFile::Problem::WrongKey)
            break;
    }
    // The next file's key derived only once this one opened: never a second derivation's
    // memory beside the first, nor one spent on a wrong password. It runs while the caller
    // works on the entries (and, for rotate, on the server): on two cores vault add took
    // 2.14 s so against 2.35 s with it derived at the save, at the same peak memory (83 MB).
    if (read.problem == KdbxFile::Problem::None)
        if (const auto header = KdbxFile::readHeader(opened->file->contents())) {
            opened->next = KdbxFile::reseeded(*header, call.random);
            opened->nextKey =
                std::async(std::launch::async,
                           [&crypto = call.crypto, next = opened->next, key = opened->key] {
                               return KdbxFile::derive(next, key, crypto);
                           });
        }
    switch (read.problem) {
    case KdbxFile::Problem::None:
        break;
    case KdbxFile::Problem::NotAVault:
        throw UsageError{u"“%1”不是 KeePass 保险库（KDBX 文件）。"_s.arg(path.left(200))};
    case KdbxFile::Problem::Unsupported:
        throw UsageError{
            u"保险库“%1”用了本程序不支持的版本、加密或密钥派生方式。"_s.arg(path.left(200))};
    case KdbxFile::Problem::WrongKey:
        throw Failure{u"主密码或密钥文件不对，打不开保险库“%1”（需要 YubiKey 等设备的保险库不受"
                      "支持）。"_s.arg(path.left(200))};
    case KdbxFile::Problem::Damaged:
        throw UsageError{
            u"保险库“%1”已损坏（damaged）：头部、哈希或 HMAC 对不上，什么都没有写。"_s.arg(
                path.left(200))};
    }
    opened->vault = std::move(read.vault);
    return opened;
}

QByteArray sealVault(OpenedVault &opened, RandomSource &random, VaultCrypto &crypto)
{
    if (!opened.nextKey.valid())
        return KdbxFile::write(opened.vault, opened.key, crypto, random);
    KdbxFile::Vault v = opened.vault;
    v.header = opened.next.header;
    v.kdf = opened.next.kdf;
    QByteArray derived = opened.nextKey.get(); // seeds are used once: the next write derives anew
    const QByteArray bytes = KdbxFile::writeReseeded(v, derived, crypto, random);
    derived.fill('\0');
    return bytes;
}

void saveVault(OpenedVault &opened, RandomSource &random, VaultCrypto &crypto)
{
    const QByteArray bytes = sealVault(opened, random, crypto);
    if (bytes.isEmpty())
        throw Failure{u"加密库没能写出保险库“%1”，它保持原样。"_s.arg(opened.path)};
    // What a run killed before its rename left: a vault never put in place.
    opened.file->discardCopy();
    if (const int error = opened.file->writeCopy(bytes))
        throw Failure{u"无法在保险库“%1”旁写入新的保险库：%2；保险库保持原样。"_s.arg(
            opened.path, describeCreateFailure(error))};
    stopHereForTests("vault-copy");
    if (const int error = opened.file->commit())
        throw Failure{
            u"无法用新的保险库替换“%1”：%2。"_s.arg(opened.path, describeCreateFailure(error))};
    if (const int error = opened.file->syncFolder())
        throw Failure{u"保险库“%1”已替换，但它的文件夹没能写到磁盘上：%2。"_s.arg(
            opened.path, describeCreateFailure(error))};
}

void storeProfile(const Invocation &call, OpenedVault &opened, const SiteTexts &profile,
                  const QString &dbHost)
{
    const QString host = dbHost.isEmpty() ? call.parser.value(call.options.dbHost) : dbHost;
    VaultSites::store(
        opened.vault, profile.siteName,
        VaultSites::accounts(profile, host.isEmpty() ? SqlScript::defaultHost.toString() : host),
        call.clock.now().toSecsSinceEpoch(), call.random);
}

void vault(const Invocation &call, ChunkedOutput &)
{
    const Options &o = call.options;
    rejectOptions(
        call.parser,
        o.passwordOptions() + o.profileOptions() + o.fileOptions() + o.webOptions() +
            o.siteOptions() + QList<const QCommandLineOption *>{&o.engine} +
            QList<const QCommandLineOption *>{&o.count, &o.host, &o.showPassword, &o.vault},
        u"vault"_s);
    const QString verb = call.positional.value(1);
    if (verb == u"create"_s)
        create(call);
    else if (verb == u"add"_s)
        add(call);
    else
        throw UsageError{u"vault 的子命令应为 create 或 add，收到“%1”。"_s.arg(verb.left(40))};
}

} // namespace CommandLine
