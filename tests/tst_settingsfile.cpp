// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsFile.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Format = AppConfig::Format;
using SettingsFile::Problem;

Q_DECLARE_METATYPE(AppConfig::Format)
Q_DECLARE_METATYPE(SettingsFile::Problem)

namespace {
// engine host port socket database user password, one line for one QCOMPARE.
QString summary(const SettingsFile::Account &a)
{
    return QStringList{a.engine == SqlScript::Dialect::PostgreSql ? u"pg"_s : u"my"_s,
                       a.host,
                       QString::number(a.port),
                       a.socket,
                       a.database,
                       a.user,
                       a.password}
        .join(u' ');
}

const QByteArray laravel = "APP_URL='http://a.test'\n"
                           "DB_CONNECTION=mysql\n"
                           "DB_HOST='127.0.0.1'\n"
                           "DB_PORT=3306\n"
                           "DB_DATABASE='s1db0'\n"
                           "DB_USERNAME='s1db0'\n"
                           "DB_PASSWORD='old'\n";
const QByteArray wordPress = "<?php\n"
                             "// ** Database settings, made by sitepass-cli ** //\n"
                             "define( 'DB_NAME',     's1db0' );\n"
                             "define( 'DB_USER',     's1db0' );\n"
                             "define( 'DB_PASSWORD', 'old' );\n"
                             "define( 'DB_HOST',     'localhost' );\n";
const QByteArray phpArray = "<?php\n"
                            "return [\n"
                            "    'driver'   => 'pgsql',\n"
                            "    'host'     => '/run/postgresql',\n"
                            "    'port'     => 5432,\n"
                            "    'database' => 's1db0',\n"
                            "    'username' => 's1db0',\n"
                            "    'password' => 'old',\n"
                            "];\n";

QByteArray edited(QByteArray text, const QByteArray &from, const QByteArray &to)
{
    return text.replace(from, to);
}
} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT
private slots:
    void readsWhatBothParsersReadAlike_data()
    {
        QTest::addColumn<Format>("format");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("account");
        const QString laravelAccount = u"my 127.0.0.1 3306  s1db0 s1db0 "_s;
        QTest::addRow("laravel as config writes it")
            << Format::Laravel << laravel << laravelAccount + u"old"_s;
        QTest::addRow("laravel edited: export, comments, blank lines, CR LF, others' multi-line")
            << Format::Laravel
            << QByteArray(
                   "# made by hand\r\n\r\nJWT_KEY=\"-----BEGIN\nDB_PASSWORD=inside\n-----END\"\r\n"
                   "export DB_CONNECTION=mariadb\r\n  DB_DATABASE=s1db0 # the site's\r\n"
                   "DB_USERNAME=\"s1db0\"\r\nDB_PASSWORD=\"it's \\\"q\\\" \\$5\\\\\"  # "
                   "rotated\r\n")
            << u"my 127.0.0.1 0  s1db0 s1db0 it's \"q\" $5\\"_s;
        QTest::addRow("laravel: a value with =\" closed for phpdotenv's reader")
            << Format::Laravel << edited(laravel, "'old'", "'a=\"b' #\"")
            << laravelAccount + u"a=\"b"_s;
        QTest::addRow("laravel: pgsql on a socket folder, an empty password")
            << Format::Laravel
            << QByteArray(
                   "DB_CONNECTION=pgsql\nDB_HOST=/run/postgresql\nDB_DATABASE=d\nDB_USERNAME=u\n"
                   "DB_PASSWORD=\n")
            << u"pg /run/postgresql 0  d u "_s;
        QTest::addRow("laravel: DB_SOCKET")
            << Format::Laravel << laravel + "DB_SOCKET=/run/mysqld/mysqld.sock\n"
            << u"my 127.0.0.1 3306 /run/mysqld/mysqld.sock s1db0 "
               "s1db0 old"_s;
        QTest::addRow("laravel: pgsql reads no DB_SOCKET")
            << Format::Laravel
            << edited(laravel, "mysql", "pgsql") + "DB_SOCKET=/run/mysqld/mysqld.sock\n"
            << u"pg 127.0.0.1 3306  s1db0 s1db0 old"_s;
        QTest::addRow("laravel: an empty DB_URL") << Format::Laravel << laravel + "DB_URL=\n"
                                                  << laravelAccount + u"old"_s;
        QTest::addRow("laravel: another value closed by a line of its own quote")
            << Format::Laravel << "KEY=\"-----BEGIN\nDB_PASSWORD=inside\n\"\n" + laravel
            << laravelAccount + u"old"_s;
        QTest::addRow("wordpress as config writes it")
            << Format::WordPress << wordPress << u"my localhost 0  s1db0 s1db0 old"_s;
        QTest::addRow("wordpress edited: comments hide old defines, a port, a double-quoted key")
            << Format::WordPress
            << edited(edited(wordPress, "'localhost'", "'db.local:3307'"), "'DB_PASSWORD'",
                      "\"DB_PASSWORD\"") +
                   "// define('DB_PASSWORD', 'older');\n# define('DB_USER', 'x');\n"
                   "/* define('DB_NAME', 'y'); */\n$s = 'define(\\'DB_HOST\\', \\'z\\')';\n"
            << u"my db.local 3307  s1db0 s1db0 old"_s;
        QTest::addRow("wordpress: a socket after the host")
            << Format::WordPress
            << edited(wordPress, "'localhost'", "'localhost:/run/mysqld/mysqld.sock'")
            << u"my localhost 0 /run/mysqld/mysqld.sock s1db0 s1db0 old"_s;
        QTest::addRow("wordpress: IPv6 in brackets, with and without a port")
            << Format::WordPress
            << edited(wordPress, "'localhost'", "'[::1]:3306'") +
                   edited(edited(wordPress, "<?php\n", ""), "'localhost'", "'[::1]'")
                       .replace("define(", "$cache->define(")
            << u"my ::1 3306  s1db0 s1db0 old"_s;
        QTest::addRow("wordpress: another class's define")
            << Format::WordPress << wordPress + "Foo::define('DB_PASSWORD', 'x');\n"
            << u"my localhost 0  s1db0 s1db0 old"_s;
        QTest::addRow("wordpress: [::1] alone keeps its host")
            << Format::WordPress << edited(wordPress, "'localhost'", "'[::1]'")
            << u"my ::1 0  s1db0 s1db0 old"_s;
        QTest::addRow("php as config writes it, backslash and quote escaped")
            << Format::Php << edited(phpArray, "'old'", "'a\\\\b\\'c'")
            << u"pg /run/postgresql 5432  s1db0 s1db0 a\\b'c"_s;
    }
    void readsWhatBothParsersReadAlike()
    {
        QFETCH(Format, format);
        QFETCH(QByteArray, file);
        QFETCH(QString, account);
        try {
            QCOMPARE(summary(SettingsFile::read(format, file).account), account);
        } catch (const SettingsFile::Unreadable &e) {
            QFAIL(qPrintable(u"refused %1 (%2)"_s.arg(e.key).arg(int(e.problem))));
        }
    }

    void refusesWhatCouldBeMisread_data()
    {
        QTest::addColumn<Format>("format");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<Problem>("problem");
        const auto password = [](const QByteArray &value) {
            return edited(laravel, "'old'", value);
        };
        QTest::addRow("the password twice") << Format::Laravel << laravel + "DB_PASSWORD=other\n"
                                            << u"DB_PASSWORD"_s << Problem::Twice;
        QTest::addRow("a variable")
            << Format::Laravel << password("${APP_KEY}") << u"DB_PASSWORD"_s << Problem::NotLiteral;
        QTest::addRow("a command in double quotes")
            << Format::Laravel << password("\"$(id)\"") << u"DB_PASSWORD"_s << Problem::NotLiteral;
        QTest::addRow("an escape only one parser undoes")
            << Format::Laravel << password("\"a\\tb\"") << u"DB_PASSWORD"_s << Problem::NotLiteral;
        QTest::addRow("backslash n the parsers undo in another order")
            << Format::Laravel << password("\"a\\\\nb\"") << u"DB_PASSWORD"_s << Problem::Disagree;
        QTest::addRow("a value over two lines") << Format::Laravel << password("\"first\nsecond\"")
                                                << u"DB_PASSWORD"_s << Problem::MultiLine;
        QTest::addRow("=\" without its closing comment, multi-line to phpdotenv")
            << Format::Laravel << password("'a=\"b'") << u"DB_PASSWORD"_s << Problem::MultiLine;
        QTest::addRow("the keys inside another value, closed by a line of its quote")
            << Format::Laravel << "X=\"abc\n" + laravel + "\"\n"
            << u"DB_CONNECTION"_s << Problem::Missing;
        QTest::addRow("blanks before =, which Symfony refuses")
            << Format::Laravel << password("'old'").replace("DB_PASSWORD=", "DB_PASSWORD =")
            << u"DB_PASSWORD"_s << Problem::Disagree;
        QTest::addRow("a # in a plain value")
            << Format::Laravel << password("a#b") << u"DB_PASSWORD"_s << Problem::NotLiteral;
        QTest::addRow("a # straight after a quoted value, a comment to one parser only")
            << Format::Laravel << password("'old'#x") << u"DB_PASSWORD"_s << Problem::NotLiteral;
        QTest::addRow("a lone CR inside a line")
            << Format::Laravel << "APP_X=1\rDB_PASSWORD=evil\n" + laravel << QString()
            << Problem::Disagree;
        QTest::addRow("DB_URL, which Laravel takes instead")
            << Format::Laravel << laravel + "DB_URL='mysql://u:p@h/d'\n"
            << u"DB_URL"_s << Problem::Overrides;
        QTest::addRow("DATABASE_URL, as older Laravel names it")
            << Format::Laravel << laravel + "DATABASE_URL=mysql://u:p@h/d\n"
            << u"DATABASE_URL"_s << Problem::Overrides;
        QTest::addRow("sqlite") << Format::Laravel << edited(laravel, "=mysql", "=sqlite")
                                << u"DB_CONNECTION"_s << Problem::Engine;
        QTest::addRow("a port that is not one")
            << Format::Laravel << edited(laravel, "3306", "33o6") << u"DB_PORT"_s << Problem::Port;
        QTest::addRow("no password") << Format::Laravel << edited(laravel, "DB_PASSWORD", "#")
                                     << u"DB_PASSWORD"_s << Problem::Missing;
        QTest::addRow("wordpress: the password from the environment")
            << Format::WordPress << edited(wordPress, "'old'", "getenv('WORDPRESS_DB_PASSWORD')")
            << u"DB_PASSWORD"_s << Problem::NotLiteral;
        QTest::addRow("wordpress: a double-quoted value")
            << Format::WordPress << edited(wordPress, "'old'", "\"old\"") << u"DB_PASSWORD"_s
            << Problem::NotLiteral;
        QTest::addRow("wordpress: a concatenation")
            << Format::WordPress << edited(wordPress, "'old'", "'o' . 'ld'") << u"DB_PASSWORD"_s
            << Problem::NotLiteral;
        QTest::addRow("wordpress: defined twice")
            << Format::WordPress << wordPress + "define('DB_PASSWORD', 'new');\n"
            << u"DB_PASSWORD"_s << Problem::Twice;
        QTest::addRow("php: a function call")
            << Format::Php << edited(phpArray, "'old'", "env('DB_PASSWORD')") << u"password"_s
            << Problem::NotLiteral;
        QTest::addRow("php: a port that is an expression")
            << Format::Php << edited(phpArray, "5432,", "5432 + 1,") << u"port"_s
            << Problem::NotLiteral;
        QTest::addRow("php: a second connection's password")
            << Format::Php << edited(phpArray, "];", "'redis' => ['password' => 'r']];")
            << u"password"_s << Problem::Twice;
    }
    void refusesWhatCouldBeMisread()
    {
        QFETCH(Format, format);
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(Problem, problem);
        try {
            SettingsFile::read(format, file);
            QFAIL("read");
        } catch (const SettingsFile::Unreadable &e) {
            QCOMPARE(e.key, key);
            QCOMPARE(e.problem, problem);
        }
    }

    void aNewPasswordChangesOnlyItsValue_data()
    {
        QTest::addColumn<Format>("format");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("value"); // as written, empty: drawn again
        QTest::addRow("laravel, edited") << Format::Laravel
                                         << "# mine\nexport DB_PASSWORD=\"old\" # kept\r\n" +
                                                edited(laravel, "DB_PASSWORD='old'\n", "")
                                         << u"n'ew"_s << "\"n'ew\""_ba;
        QTest::addRow("laravel: =\" closed for phpdotenv")
            << Format::Laravel << laravel << u"a=\"b"_s << "'a=\"b' #\""_ba;
        QTest::addRow("laravel: nothing reads 'a\\\"b alike")
            << Format::Laravel << laravel << u"'a\\\"b"_s << QByteArray();
        QTest::addRow("wordpress")
            << Format::WordPress << wordPress << u"n\\e'w"_s << "'n\\\\e\\'w'"_ba;
        QTest::addRow("php") << Format::Php << phpArray << u"密码"_s << "'密码'"_ba;
    }
    void aNewPasswordChangesOnlyItsValue()
    {
        QFETCH(Format, format);
        QFETCH(QByteArray, file);
        QFETCH(QString, password);
        QFETCH(QByteArray, value);
        const SettingsFile::Read read = SettingsFile::read(format, file);
        const auto changed = SettingsFile::withPassword(format, file, read, password);
        QCOMPARE(changed.has_value(), !value.isEmpty());
        if (changed)
            QCOMPARE(*changed,
                     QByteArray(file).replace(read.passwordBegin,
                                              read.passwordEnd - read.passwordBegin, value));
    }
};

QTEST_APPLESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
