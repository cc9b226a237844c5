// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChunkedOutput.h"
#include "GcryptVaultCrypto.h"
#include "SiteProfile.h"
#include "SitepassCli.h"
#include "support/FixedClock.h"
#include "support/ScriptedRandomSource.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

class TestCli : public QObject
{
    Q_OBJECT

    ScriptedRandomSource m_random;
    FixedClock m_clock;
    GcryptVaultCrypto m_crypto;
    QString m_out;
    QString m_err;

    int run(const QStringList &args, const QByteArray &input = {})
    {
        QBuffer in, out, err;
        in.setData(input);
        in.open(QIODevice::ReadOnly);
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        const int status = SitepassCli::run(QStringList{u"sitepass-cli"_s} + args, m_random,
                                            m_clock, m_crypto, in, out, err);
        m_out = QString::fromUtf8(out.data());
        m_err = QString::fromUtf8(err.data());
        return status;
    }

    // Runs a test in a folder of its own, and leaves it afterwards.
    struct InFolder
    {
        QTemporaryDir dir;
        QString before = QDir::currentPath();
        InFolder() { QDir::setCurrent(dir.path()); }
        ~InFolder() { QDir::setCurrent(before); }
    };

private slots:
    void vaultRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addRow("add to a vault that is not there")
            << QStringList{u"vault"_s, u"add"_s, u"none.kdbx"_s, u"p.json"_s} << 2
            << u"没有保险库"_s;
        QTest::addRow("the profile on standard input, where the password is")
            << QStringList{u"vault"_s, u"add"_s, u"v.kdbx"_s, u"-"_s} << 2 << u"标准输入"_s;
        QTest::addRow("a key file without a vault")
            << QStringList{u"profile"_s, u"a.test"_s, u"--key-file"_s, u"k"_s} << 2
            << u"--key-file"_s;
        QTest::addRow("rotate's key file without a vault")
            << QStringList{u"rotate"_s, u"php"_s, u"c.php"_s, u"--key-file"_s, u"k"_s} << 2
            << u"--key-file"_s;
        QTest::addRow("no password without a key file")
            << QStringList{u"vault"_s, u"create"_s, u"n.kdbx"_s, u"--no-password"_s} << 2
            << u"--no-password"_s;
        QTest::addRow("a vault for the sql verb")
            << QStringList{u"sql"_s, u"mariadb"_s, u"--vault"_s, u"v.kdbx"_s} << 2 << u"--vault"_s;
        QTest::addRow("create over a file that is there")
            << QStringList{u"vault"_s, u"create"_s, u"p.json"_s} << 2 << u"已存在"_s;
    }
    void vaultRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        const InFolder folder;
        QCOMPARE(run({u"profile"_s, u"a.test"_s, u"--json"_s, u"--output"_s, u"p.json"_s}), 0);
        QCOMPARE(run(args, "pw\n"), status);
        QVERIFY2(m_err.contains(message), qPrintable(m_err));
        QVERIFY(!QFileInfo::exists(u"none.kdbx"_s));
    }

    // Scripts write the master password's line with CR LF on Windows: the same password.
    void aVaultMadeWithCrLfOpensWithLf()
    {
        const InFolder folder;
        QCOMPARE(run({u"profile"_s, u"a.test"_s, u"--json"_s, u"--output"_s, u"p.json"_s}), 0);
        QCOMPARE(run({u"vault"_s, u"create"_s, u"v.kdbx"_s}, "pass word\r\nignored\n"), 0);
        QCOMPARE(run({u"vault"_s, u"add"_s, u"v.kdbx"_s, u"p.json"_s}, "pass word\n"), 0);
        QCOMPARE(run({u"vault"_s, u"add"_s, u"v.kdbx"_s, u"p.json"_s}, "pass word \n"), 1);
    }

    void init()
    {
        m_random = ScriptedRandomSource();
        m_clock.set(QDateTime(QDate(2020, 5, 31), QTime(18, 3, 43), QTimeZone::utc()));
    }

    void passwordsTakeTheWindowsPath()
    {
        // Same draws as the window: A, 9, then offset 1 rotates letters; twice.
        m_random.script({0.0f, largestBelowOne, 0.0f, 0.0f, largestBelowOne, 0.0f});
        QCOMPARE(run({u"password"_s, u"--length"_s, u"2"_s, u"--count"_s, u"2"_s}), 0);
        QCOMPARE(m_out, u"B9\nB9\n"_s);
        QCOMPARE(m_random.log(), u"RNNNRNNN"_s);
        QVERIFY(m_err.isEmpty());
    }

    void specialsAloneOrGiven_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("password");
        // Pool of specials only; r = 0 picks the first entry.
        QTest::addRow("--special alone is the window's default")
            << QStringList{u"--special"_s} << u"!!"_s;
        QTest::addRow("--special-chars=CHARS trimmed of spaces")
            << QStringList{u"--special-chars=  #$ "_s} << u"##"_s;
        QTest::addRow("--special-chars CHARS as two words")
            << QStringList{u"--special-chars"_s, u"#$"_s} << u"##"_s;
    }
    void specialsAloneOrGiven()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, password);
        QCOMPARE(run(QStringList{u"password"_s, u"--no-upper"_s, u"--no-lower"_s, u"--no-digits"_s,
                                 u"--length=2"_s} +
                     args),
                 0);
        QCOMPARE(m_out, password + u'\n');
    }

    void profilePrintsTheReport_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("lineEnd");
        QTest::addRow("LF by default") << QStringList{} << u"\n"_s;
        QTest::addRow("--crlf gives the clipboard's bytes")
            << QStringList{u"--crlf"_s} << u"\r\n"_s;
    }
    void profilePrintsTheReport()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, lineEnd);
        m_random.script({0.0f, 0.0f, 25.5f / 62, 1.5f / 62, 1.5f / 62, 25.5f / 62});
        QCOMPARE(run(QStringList{u"profile"_s, u"Ab.c"_s, u"--length=2"_s, u"--port=8080"_s,
                                 u"--admin-path=/manage"_s, u"--admin-user=root"_s} +
                     args),
                 0);
        const QStringList lines = {u"站 点 名 称：Ab.c"_s,        u"站 点 目 录：AB_C"_s,
                                   u"站 点 网 址：http://Ab.c"_s, u"站 点 端 口：8080"_s,
                                   u"数据库表名：s5ed380ffdb0"_s, u"数据库用户：s5ed380ffdb0"_s,
                                   u"数据库密码：AA"_s,           u"管理员后台：/manage"_s,
                                   u"管理员用户：root"_s,         u"管理员密码：BB"_s};
        QCOMPARE(m_out, lines.join(lineEnd) + lineEnd);
    }

    void profileAsJson()
    {
        QCOMPARE(run({u"profile"_s, u"example.com"_s, u"--json"_s}), 0);
        const QJsonObject o = QJsonDocument::fromJson(m_out.toUtf8()).object();
        const QStringList keys = {u"admin_password"_s, u"admin_path"_s, u"admin_user"_s,
                                  u"db_password"_s,    u"db_table"_s,   u"db_user"_s,
                                  u"site_directory"_s, u"site_name"_s,  u"site_port"_s,
                                  u"site_url"_s,       u"token"_s};
        QCOMPARE(o.keys(), keys);
        QCOMPARE(o.value(u"token"_s).toString(), u"5ED380FF"_s);
        QCOMPARE(o.value(u"site_directory"_s).toString(), u"EXAMPLE_COM"_s);
        QCOMPARE(o.value(u"db_password"_s).toString().size(), 16);
        // Without options the profile starts from the same defaults as the window.
        QCOMPARE(o.value(u"site_port"_s).toString(), SiteProfile::defaultPort);
        QCOMPARE(o.value(u"admin_path"_s).toString(), SiteProfile::defaultAdminPath);
        QCOMPARE(o.value(u"admin_user"_s).toString(), SiteProfile::defaultAdminUser);
    }

    void badInputExitsWith2AndPrintsNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("names");
        QTest::addRow("no command") << QStringList{} << "password";
        QTest::addRow("unknown command") << QStringList{u"frob"_s} << "frob";
        QTest::addRow("unknown option, as typed")
            << QStringList{u"password"_s, u"--bogus"_s} << "“--bogus”";
        QTest::addRow("--help-all is not offered") << QStringList{u"--help-all"_s} << "--help-all";
        QTest::addRow("a flag given a value")
            << QStringList{u"profile"_s, u"a.b"_s, u"--json=1"_s} << "--json";
        QTest::addRow("length no number")
            << QStringList{u"password"_s, u"--length=abc"_s} << "--length";
        QTest::addRow("length over the limit")
            << QStringList{u"password"_s, u"--length=100001"_s} << "--length";
        QTest::addRow("length inf")
            << QStringList{u"password"_s, u"--length=1e999"_s} << "--length";
        QTest::addRow("count zero") << QStringList{u"password"_s, u"--count=0"_s} << "--count";
        QTest::addRow("count fraction")
            << QStringList{u"password"_s, u"--count=1.5"_s} << "--count";
        QTest::addRow("count missing value")
            << QStringList{u"password"_s, u"--count"_s} << "--count";
        QTest::addRow("a value that is the next option")
            << QStringList{u"profile"_s, u"a.b"_s, u"--port"_s, u"--json"_s} << "“--json”";
        QTest::addRow("specials that are the next option")
            << QStringList{u"password"_s, u"--special-chars"_s, u"--no-digits"_s}
            << "--special-chars";
        QTest::addRow("length followed by count")
            << QStringList{u"password"_s, u"--length"_s, u"--count"_s, u"3"_s} << "--length";
        for (const char *port : {"abc", "0", "70000", "", "+80"})
            QTest::addRow("port \"%s\"", port)
                << QStringList{u"profile"_s, u"a.b"_s, u"--port="_s + QLatin1String(port)}
                << "--port";
        QTest::addRow("empty domain") << QStringList{u"profile"_s, QString()} << "example.com";
        QTest::addRow("a URL for a domain")
            << QStringList{u"profile"_s, u"https://example.com/"_s} << "https://example.com/";
        QTest::addRow("a domain with a space")
            << QStringList{u"profile"_s, u"a .b"_s} << "example.com";
        QTest::addRow("control characters in specials")
            << QStringList{u"password"_s, u"--special-chars=a\nb"_s} << "--special-chars";
        QTest::addRow("a paragraph separator in specials")
            << QStringList{u"password"_s, u"--special-chars=a\u2029b"_s} << "U+2029";
        QTest::addRow("profile option on password")
            << QStringList{u"password"_s, u"--json"_s} << "--json";
        QTest::addRow("count on profile")
            << QStringList{u"profile"_s, u"a.b"_s, u"--count=2"_s} << "--count";
        QTest::addRow("profile without domain") << QStringList{u"profile"_s} << "profile";
        QTest::addRow("profile with two domains")
            << QStringList{u"profile"_s, u"a.b"_s, u"c.d"_s} << "“c.d”";
        QTest::addRow("json and crlf")
            << QStringList{u"profile"_s, u"a.b"_s, u"--json"_s, u"--crlf"_s} << "--crlf";
        QTest::addRow("profile with a bad length")
            << QStringList{u"profile"_s, u"a.b"_s, u"--length=x"_s} << "--length";
        QTest::addRow("length below one")
            << QStringList{u"password"_s, u"--length=0.5"_s} << "--length";
        QTest::addRow("profile with length 0")
            << QStringList{u"profile"_s, u"a.b"_s, u"--length=0"_s} << "--length";
        const QStringList noClass = {u"--no-upper"_s, u"--no-lower"_s, u"--no-digits"_s};
        QTest::addRow("no character class") << QStringList{u"password"_s} + noClass << "--special";
        QTest::addRow("profile with only blank specials")
            << QStringList{u"profile"_s, u"a.b"_s, u"--special-chars=  "_s} + noClass
            << "--special";
        QTest::addRow("every class needs a length of at least four")
            << QStringList{u"password"_s, u"--every-class"_s, u"--special"_s, u"--length=3"_s}
            << "--every-class";
        QString rareSpecials;
        for (char16_t c = 0x4E00; c < 0x4E00 + 20000; ++c)
            rareSpecials += QChar(c);
        QTest::addRow("every class would take millions of redraws")
            << QStringList{u"password"_s, u"--every-class"_s, u"--length=4"_s,
                           u"--special-chars="_s + rareSpecials}
            << "--every-class";
        QTest::addRow("sql without a dialect") << QStringList{u"sql"_s} << "mariadb";
        QTest::addRow("sql with an unknown dialect")
            << QStringList{u"sql"_s, u"oracle"_s} << "“oracle”";
        QTest::addRow("sql with nothing on standard input")
            << QStringList{u"sql"_s, u"mariadb"_s} << "输入为空";
        QTest::addRow("sql from a file that is not there")
            << QStringList{u"sql"_s, u"mysql"_s, u"/nonexistent/site.json"_s}
            << "/nonexistent/site.json";
        QTest::addRow("--host for postgresql")
            << QStringList{u"sql"_s, u"postgresql"_s, u"--host=db"_s} << "--host";
        QTest::addRow("an escape sequence in --host")
            << QStringList{u"sql"_s, u"mariadb"_s, u"--host=h\x1b[2J"_s} << "--host";
        QTest::addRow("config without a format") << QStringList{u"config"_s} << "laravel";
        QTest::addRow("config with an unknown format")
            << QStringList{u"config"_s, u"yaml"_s} << "“yaml”";
        QTest::addRow("wordpress on postgresql")
            << QStringList{u"config"_s, u"wordpress"_s, u"--engine=postgresql"_s} << "PostgreSQL";
        QTest::addRow("config with an unknown engine")
            << QStringList{u"config"_s, u"php"_s, u"--engine=oracle"_s} << "--engine";
        QTest::addRow("sql's --host on config")
            << QStringList{u"config"_s, u"php"_s, u"--host=db"_s} << "--host";
        QTest::addRow("--group without --output")
            << QStringList{u"config"_s, u"php"_s, u"--group=www-data"_s} << "--group";
        QTest::addRow("a web option on an application format")
            << QStringList{u"config"_s, u"php"_s, u"--site-root=/srv/a"_s} << "--site-root";
        QTest::addRow("an application option on a web format")
            << QStringList{u"config"_s, u"nginx"_s, u"--engine=mysql"_s} << "--engine";
        QTest::addRow("a certificate without its key")
            << QStringList{u"config"_s, u"apache"_s, u"--tls-certificate=/c"_s} << "--tls-key";
        QTest::addRow("an address that does not parse, before the profile is read")
            << QStringList{u"config"_s, u"nginx"_s, u"--listen-address=localhost"_s}
            << "--listen-address";
        QTest::addRow("help for no such verb") << QStringList{u"help"_s, u"frob"_s} << "“frob”";
        QTest::addRow("config with an empty --output")
            << QStringList{u"config"_s, u"php"_s, u"--output="_s} << "--output";
        QTest::addRow("a control character in --db-host")
            << QStringList{u"config"_s, u"php"_s, u"--db-host=a\x01b"_s} << "--db-host";
        QTest::addRow("config's --output on sql")
            << QStringList{u"sql"_s, u"mariadb"_s, u"--output=x"_s} << "--output";
        QTest::addRow("a password option on sql")
            << QStringList{u"sql"_s, u"mariadb"_s, u"--length=5"_s} << "--length";
        QTest::addRow("a --host past 255 characters")
            << QStringList{u"sql"_s, u"mariadb"_s, u"--host="_s + QString(256, u'h')} << "--host";
        QTest::addRow("control characters in a refused path, shown escaped")
            << QStringList{u"config"_s, u"nginx"_s, u"--site-root=/srv/x\x1b[2J\x1b]0;t\x07\r\n"_s}
            << "/srv/x\\x1B[2J\\x1B]0;t\\x07\\x0D\\x0A";
        QTest::addRow("--show-password on password")
            << QStringList{u"password"_s, u"--show-password"_s} << "--show-password";
        QTest::addRow("--count on rotate")
            << QStringList{u"rotate"_s, u"php"_s, u"x.php"_s, u"--count=2"_s} << "--count";
        QTest::addRow("a site option on another verb")
            << QStringList{u"config"_s, u"php"_s, u"--app=php"_s} << "--app";
#ifdef Q_OS_WIN
        QTest::addRow("rotate runs on the server")
            << QStringList{u"rotate"_s, u"php"_s, u"x.php"_s} << "Linux";
        QTest::addRow("site runs on the server")
            << QStringList{u"site"_s, u"add"_s, u"a.test"_s, u"--app=php"_s} << "Linux";
#else
        QTest::addRow("site add without --app")
            << QStringList{u"site"_s, u"add"_s, u"a.test"_s} << "--app";
        QTest::addRow("site add with an engine WordPress does not take")
            << QStringList{u"site"_s, u"add"_s, u"a.test"_s, u"--app=wordpress"_s,
                           u"--engine=postgresql"_s}
            << "PostgreSQL";
        QTest::addRow("site with no such verb") << QStringList{u"site"_s, u"frob"_s} << "“frob”";
        QTest::addRow("rotate without a file") << QStringList{u"rotate"_s, u"php"_s} << "rotate";
        QTest::addRow("rotate with a web format")
            << QStringList{u"rotate"_s, u"nginx"_s, u"x"_s} << "“nginx”";
        QTest::addRow("rotate a file that is not there")
            << QStringList{u"rotate"_s, u"php"_s, u"/nonexistent/db.php"_s}
            << "/nonexistent/db.php";
#endif
        QTest::addRow("both special forms")
            << QStringList{u"password"_s, u"--special"_s, u"--special-chars=#"_s} << "--special";
    }
    void badInputExitsWith2AndPrintsNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, names);
        QCOMPARE(run(args), 2);
        QVERIFY(m_out.isEmpty());
        QVERIFY2(m_err.contains(names), qPrintable(m_err));
        QCOMPARE(m_err.count(u'\n'), 1);
        QVERIFY(m_random.log().isEmpty());
    }

    void failedWritesExitWith1_data()
    {
        QTest::addColumn<qint64>("accepts"); // what each write returns; -2: device not open
        QTest::addColumn<QString>("message");
        QTest::addRow("a device that takes nothing") << qint64(0) << u"不接受"_s;
        QTest::addRow("a device that refuses") << qint64(-1) << u"无法写入输出"_s;
        QTest::addRow("a closed standard output") << qint64(-2) << u"已关闭"_s;
    }
    void failedWritesExitWith1()
    {
        QFETCH(qint64, accepts);
        QFETCH(QString, message);
        struct Stubborn : QIODevice
        {
            qint64 accepts = 0;
            int calls = 0;
            qint64 readData(char *, qint64) override { return -1; }
            // A writer that keeps asking is stopped here, and counted.
            qint64 writeData(const char *, qint64) override { return ++calls > 10 ? -1 : accepts; }
        } out;
        out.accepts = accepts;
        if (accepts != -2)
            out.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        QBuffer in, err;
        err.open(QIODevice::WriteOnly);
        QCOMPARE(SitepassCli::run({u"sitepass-cli"_s, u"password"_s}, m_random, m_clock, m_crypto,
                                  in, out, err),
                 1);
        QVERIFY2(QString::fromUtf8(err.data()).contains(message), err.data().constData());
        QCOMPARE(out.calls, accepts == -2 ? 0 : 1);
    }

    void configOutputNeedsNoStandardOutput()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"c.php"_s);
        QBuffer in, out, err;
        in.setData(R"({"db_table": "d", "db_user": "u", "db_password": "p"})");
        in.open(QIODevice::ReadOnly);
        err.open(QIODevice::WriteOnly); // standard output closed
        QCOMPARE(SitepassCli::run({u"sitepass-cli"_s, u"config"_s, u"php"_s, u"--output="_s + file},
                                  m_random, m_clock, m_crypto, in, out, err),
                 0);
        QVERIFY2(QFile(file).size() > 0, err.data().constData());
        // A file that cannot be made is a failure (1), named in words; one that exists a refusal.
        QCOMPARE(
            run({u"config"_s, u"php"_s, u"--output="_s + dir.filePath(u"no/c.php"_s)}, in.data()),
            1);
        QVERIFY2(m_err.contains(u"文件夹不存在"_s), qPrintable(m_err));
        QCOMPARE(run({u"config"_s, u"php"_s, u"--output="_s + file + u"/c.php"_s}, in.data()), 1);
#ifdef Q_OS_WIN // Windows tells a file in the way from a missing folder no differently
        QVERIFY2(m_err.contains(u"文件夹不存在"_s), qPrintable(m_err));
#else
        QVERIFY2(m_err.contains(u"不是文件夹"_s), qPrintable(m_err));
#endif
        QCOMPARE(run({u"config"_s, u"php"_s, u"--output="_s + file}, in.data()), 2);
        QVERIFY2(m_err.contains(u"已存在"_s), qPrintable(m_err));
    }

    // Refusals that need a profile to get that far; nothing is written.
    void refusalsAfterTheProfile_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("names");
#ifndef Q_OS_WIN // a pool made on Windows is for another machine's users
        QTest::addRow("a pool file whose user does not exist")
            << QStringList{u"config"_s, u"php-fpm"_s, u"--output=OUT"_s}
            << u"site-example_invalid"_s;
#endif
        QTest::addRow("a --db-host no .env quoting reads back alike")
            << QStringList{u"config"_s, u"laravel"_s, u"--db-host=h'\\n"_s} << u"--db-host"_s;
    }
    void refusalsAfterTheProfile()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, names);
        QTemporaryDir dir;
        const QString output = dir.filePath(u"out"_s);
        args.replaceInStrings(u"=OUT"_s, u'=' + output);
        QCOMPARE(
            run(args,
                R"({"site_name": "example.invalid", "site_port": "80", "db_table": "d", "db_user": "u", "db_password": "p"})"),
            2);
        QVERIFY2(m_err.contains(names), qPrintable(m_err));
        QVERIFY(m_out.isEmpty());
        QVERIFY(!QFile::exists(output));
    }

    void jsonAfterBlanksIsReadAsJson()
    {
        QCOMPARE(run({u"sql"_s, u"mariadb"_s},
                     " \t\r\n{\"db_table\": \"d\", \"db_user\": \"u\", \"db_password\": \"p\"}"),
                 0);
        QVERIFY2(m_out.contains(u"CREATE DATABASE `d`;"_s), qPrintable(m_err));
    }

    void sqlReadsTheReportFromStandardInput()
    {
        m_random.script(QList<float>(34, 0.5f));
        QCOMPARE(run({u"profile"_s, u"a.b"_s, u"--crlf"_s}), 0);
        const QByteArray report = m_out.toUtf8();
        const QString password = m_out.section(u"数据库密码："_s, 1).section(u"\r\n"_s, 0, 0);
        // A user of its own, so that the user is seen to come from its own line.
        const QByteArray edited = QByteArray(report).replace("用户：s5ed380ffdb0", "用户：site_u");
        QCOMPARE(run({u"sql"_s, u"mariadb"_s, u"--host=%"_s}, edited), 0);
        QVERIFY2(m_out.contains(u"CREATE DATABASE `s5ed380ffdb0`;"_s), qPrintable(m_out));
        QVERIFY2(m_out.contains(u"CREATE USER 'site_u'@'%' IDENTIFIED BY PASSWORD '*"_s),
                 qPrintable(m_out));
        QVERIFY(!m_out.contains(password));
    }

    void partialWritesAreContinued()
    {
        // A pipe may take part of a write; the rest must follow, in order.
        struct Narrow : QIODevice
        {
            QByteArray taken;
            qint64 readData(char *, qint64) override { return -1; }
            qint64 writeData(const char *data, qint64 size) override
            {
                const qint64 n = qMin<qint64>(size, 1000);
                taken.append(data, n);
                return n;
            }
        } device;
        device.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        QString text;
        for (int i = 0; i < 20000; ++i)
            text += QString::number(i) + u"密\n"_s;
        ChunkedOutput output(device);
        output.write(text);
        output.flush();
        QCOMPARE(device.taken, text.toUtf8());
    }

    void aClockPast2038ExitsWith1()
    {
        m_clock.set(QDateTime(QDate(2038, 1, 19), QTime(11, 14, 8), QTimeZone::utc()));
        QCOMPARE(run({u"profile"_s, u"a.b"_s}), 1);
        QVERIFY(m_out.isEmpty());
        QVERIFY(m_err.contains(u"2038"_s));
        QVERIFY(m_random.log().isEmpty());
    }

    void helpAndVersion_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("has");
        QTest::addColumn<QString>("lacks");
        QTest::addRow("--help alone: the verbs, no options")
            << QStringList{u"--help"_s} << u"config 格式"_s << u"--length"_s;
        QTest::addRow("help password: its options only")
            << QStringList{u"help"_s, u"password"_s} << u"--count"_s << u"--host"_s;
        QTest::addRow("help profile: the password options too")
            << QStringList{u"help"_s, u"profile"_s} << u"--every-class"_s << u"--tls-port"_s;
        QTest::addRow("help rotate: the password options and --show-password")
            << QStringList{u"help"_s, u"rotate"_s} << u"--show-password"_s << u"--tls-port"_s;
        QTest::addRow("config --help: the web formats' options")
            << QStringList{u"config"_s, u"--help"_s} << u"--tls-port"_s << u"--count"_s;
    }
    void helpAndVersion()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, has);
        QFETCH(QString, lacks);
        QCOMPARE(run(args), 0);
        QVERIFY2(m_out.contains(has) && !m_out.contains(lacks), qPrintable(m_out));
        QCOMPARE(run({u"--version"_s}), 0);
        QCOMPARE(m_out, u"sitepass-cli 1.0\n"_s);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
