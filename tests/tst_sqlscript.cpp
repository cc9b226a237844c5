// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PasswordHashes.h"
#include "SitepassError.h"
#include "SqlScript.h"
#include "support/ScriptedRandomSource.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SitepassError::Kind)

namespace {
// Salt bytes 0..15, as a scripted source draws them: position k + 1 of 256 is byte k.
QList<float> saltScript()
{
    QList<float> values;
    for (int k = 0; k < 16; ++k)
        values << (k + 0.5f) / 256;
    return values;
}

SiteTexts profile(const QString &table, const QString &user, const QString &password)
{
    SiteTexts texts;
    texts.tableName = table;
    texts.databaseUser = user;
    texts.databasePassword = password;
    return texts;
}
} // namespace

class TestSqlScript : public QObject
{
    Q_OBJECT
private slots:
    // Expected values computed with Python's hashlib (sha1, pbkdf2_hmac, hmac) and, for the
    // full-width row, unicodedata.normalize("NFKC") first.
    void hashesMatchAnIndependentComputation_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("native");
        QTest::addColumn<QString>("verifier");
        QTest::addRow("plain") << u"pencil"_s << u"*7614BE58636C810A9D8970A50B3B2A78450413E4"_s
                               << u"SCRAM-SHA-256$4096:AAECAwQFBgcICQoLDA0ODw==$zHCdol2044/ZyWzP"
                                  "Li7oxApCkamKw9Z+E4U/QApd/5Y=:dd5peBOitVnLNFu7VmwP+HiDaaw4OUC"
                                  "v396eVCWhYiE="_s;
        QTest::addRow("quotes, backslash and SQL traps")
            << u"Ab1!'\\`$%#;--"_s << u"*3E8E609880FD9FB6FDC407D2250E8A1744BA0494"_s
            << u"SCRAM-SHA-256$4096:AAECAwQFBgcICQoLDA0ODw==$swOsYRHb78f2noAGSNV3k+bFJ8ZZY+WRFnIY"
               "5btU3NA=:LwMs7BcbqW1RgLn7zs8I8RXZqMDDGPF+/I3yRsKKqv8="_s;
        QTest::addRow("full-width and a ligature, prepared to A!fi")
            << u"Ａ！ﬁ"_s << u"*F9C9B30D1680B7C88B8E9F2D9E184A68194F76F2"_s
            << u"SCRAM-SHA-256$4096:AAECAwQFBgcICQoLDA0ODw==$22DwjMFSwpz1LDQmkrqLtojNWmr33/0fKxZQ"
               "LkmFqZc=:NwSDyYhUJkyhTS3shMLVA43VB4wzkL+v/zvkDnjctw4="_s;
    }
    void hashesMatchAnIndependentComputation()
    {
        QFETCH(QString, password);
        QFETCH(QString, native);
        QFETCH(QString, verifier);
        QCOMPARE(PasswordHashes::mysqlNative(password), native);
        ScriptedRandomSource random(saltScript());
        const QString script = SqlScript::build(SqlScript::Dialect::PostgreSql,
                                                profile(u"db"_s, u"u"_s, password), {}, random);
        QVERIFY2(script.contains(u"PASSWORD '"_s + verifier + u"';"_s), qPrintable(script));
        QVERIFY(!script.contains(password));
    }

    // Expected bytes from PostgreSQL's order written out in Python over its stringprep module and
    // unicodedata.ucd_3_2_0 (RFC 3454's Unicode 3.2): map, check, then NFKC.
    void saslPrepAsPostgresDoes_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("prepared"); // hex
        QTest::addRow("ASCII, controls included, as it is") << u"a\tb"_s << "610962"_ba;
        QTest::addRow("no-break space to space") << u"a\u00A0é"_s << "6120c3a9"_ba;
        QTest::addRow("only dropped characters: unchanged") << u"\u00AD"_s << "c2ad"_ba;
        QTest::addRow("unassigned in Unicode 3.2 (emoji): unchanged")
            << u"ｘ\U0001F510"_s << "efbd98f09f9490"_ba;
        QTest::addRow("private use: unchanged") << u"ａ\uE000"_s << "efbd81ee8080"_ba;
        QTest::addRow("unassigned before NFKC, though its NFKC form is A: unchanged")
            << u"\u1D2C"_s << "e1b4ac"_ba;
        QTest::addRow("prohibited before NFKC (U+0340): unchanged") << u"\u0340x"_s << "cd8078"_ba;
        QTest::addRow("left-to-right before NFKC, right-to-left after: normalised")
            << u"a\u2135"_s << "61d790"_ba;
        QTest::addRow("a right-to-left presentation form alone: normalised")
            << u"\uFB1D"_s << "d799d6b4"_ba;
        QTest::addRow("Braille is neutral in Unicode 3.2: normalised")
            << u"\u05D0\u2800\uFF11\u05D0"_s << "d790e2a08031d790"_ba;
        QTest::addRow("right-to-left alone, normalised") << u"\u05D0\u05D1"_s << "d790d791"_ba;
        QTest::addRow("right-to-left beside left-to-right: unchanged")
            << u"\u05D0\uFF41"_s << "d790efbd81"_ba;
        QTest::addRow("right-to-left first, last not: unchanged")
            << u"\u05D0\uFF11"_s << "d790efbc91"_ba;
        QTest::addRow("a bidi override is prohibited: unchanged")
            << u"\uFF41\u202E"_s << "efbd81e280ae"_ba;
        QTest::addRow("a Latin letter between right-to-left ones: unchanged")
            << u"\u05D0a\uFB1D"_s << "d79061efac9d"_ba;
        QTest::addRow("a soft hyphen beside another character is dropped")
            << u"\uFF41\u00AD"_s << "61"_ba;
    }
    void saslPrepAsPostgresDoes()
    {
        QFETCH(QString, password);
        QFETCH(QByteArray, prepared);
        QCOMPARE(PasswordHashes::saslPrep(password).toHex(), prepared);
    }

    void namesAreQuotedForEachDialect_data()
    {
        QTest::addColumn<SqlScript::Dialect>("dialect");
        QTest::addColumn<QString>("expected");
        QTest::addRow("mariadb: wildcards escaped in the grant")
            << SqlScript::Dialect::MariaDb
            << u"GRANT ALL PRIVILEGES ON `my\\_d$b`.* TO 'o$n'@'10.0.%';"_s;
        QTest::addRow("mysql: the password as an escaped literal")
            << SqlScript::Dialect::MySql << u"IDENTIFIED BY 'p\\'\\\\';"_s;
        QTest::addRow("postgresql: names in double quotes")
            << SqlScript::Dialect::PostgreSql << u"ALTER DATABASE \"my_d$b\" OWNER TO \"o$n\";"_s;
        QTest::addRow("mariadb: the client's character set fixed on the first line")
            << SqlScript::Dialect::MariaDb << u"charset utf8mb4\n-- "_s;
        QTest::addRow("postgresql: the client's encoding fixed on the first line")
            << SqlScript::Dialect::PostgreSql << u"\\encoding UTF8\n-- "_s;
    }
    void namesAreQuotedForEachDialect()
    {
        QFETCH(SqlScript::Dialect, dialect);
        QFETCH(QString, expected);
        ScriptedRandomSource random(saltScript());
        const QString script = SqlScript::build(dialect, profile(u"my_d$b"_s, u"o$n"_s, u"p'\\"_s),
                                                u"10.0.%"_s, random);
        // The character-set rows must be the script's very first line.
        const bool firstLine = expected.endsWith(u"\n-- "_s);
        QVERIFY2(firstLine ? script.startsWith(expected) : script.contains(expected),
                 qPrintable(script));
    }

    void namesTheServerWouldRefuseOrMisreadAreRefused_data()
    {
        QTest::addColumn<SqlScript::Dialect>("dialect");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("host");
        QTest::addColumn<SitepassError::Kind>("kind");
        QTest::addColumn<QString>("field"); // empty: accepted
        using Kind = SitepassError::Kind;
        const auto maria = SqlScript::Dialect::MariaDb;
        const auto pg = SqlScript::Dialect::PostgreSql;
        const QString local = u"localhost"_s;
        // 60 characters with four "_": 64 in the grant's escaped pattern.
        const QString underscored = QString(56, u'd') + u"____"_s;
        QTest::addRow("mariadb: 64 characters")
            << maria << QString(64, u'd') << u"u"_s << local << Kind::NameTooLong << QString();
        QTest::addRow("mariadb: 65 characters")
            << maria << QString(65, u'd') << u"u"_s << local << Kind::NameTooLong << u"db_table"_s;
        QTest::addRow("mariadb: 60 with four _, 64 escaped")
            << maria << underscored << u"u"_s << local << Kind::NameTooLong << QString();
        QTest::addRow("mariadb: 61 with four _, 65 escaped")
            << maria << underscored + u'd' << u"u"_s << local << Kind::NameTooLong << u"db_table"_s;
        QTest::addRow("mysql: a user of 33")
            << SqlScript::Dialect::MySql << u"d"_s << QString(33, u'u') << local
            << Kind::NameTooLong << u"db_user"_s;
        QTest::addRow("postgresql: 63 characters")
            << pg << QString(63, u'd') << u"u"_s << local << Kind::NameTooLong << QString();
        QTest::addRow("postgresql: a user of 64")
            << pg << u"d"_s << QString(64, u'u') << local << Kind::NameTooLong << u"db_user"_s;
        QTest::addRow("mariadb: a GBK trap in the user")
            << maria << u"d"_s << u"中'中\\! touch x #"_s << local << Kind::NameBadCharacter
            << u"db_user"_s;
        QTest::addRow("postgresql: a GBK trap in the database")
            << pg << u"中\"\\! touch x #"_s << u"u"_s << local << Kind::NameBadCharacter
            << u"db_table"_s;
        QTest::addRow("mysql: a percent sign in the database")
            << SqlScript::Dialect::MySql << u"a%b"_s << u"u"_s << local << Kind::NameBadCharacter
            << u"db_table"_s;
        QTest::addRow("postgresql: a space in the user")
            << pg << u"d"_s << u"a b"_s << local << Kind::NameBadCharacter << u"db_user"_s;
        QTest::addRow("mariadb: an escape character in the host")
            << maria << u"d"_s << u"u"_s << u"h\x1b[2J"_s << Kind::NameBadCharacter << u"--host"_s;
        QTest::addRow("mariadb: a quote in the host")
            << maria << u"d"_s << u"u"_s << u"h'"_s << Kind::NameBadCharacter << u"--host"_s;
        QTest::addRow("mariadb: every host character an account uses")
            << maria << u"d"_s << u"u"_s << u"db-1.example_x:3/%"_s << Kind::NameBadCharacter
            << QString();
    }
    void namesTheServerWouldRefuseOrMisreadAreRefused()
    {
        QFETCH(SqlScript::Dialect, dialect);
        QFETCH(QString, table);
        QFETCH(QString, user);
        QFETCH(QString, host);
        QFETCH(SitepassError::Kind, kind);
        QFETCH(QString, field);
        ScriptedRandomSource random(saltScript());
        try {
            SqlScript::build(dialect, profile(table, user, u"p"_s), host, random);
            QVERIFY(field.isEmpty());
        } catch (const SitepassError &e) {
            QCOMPARE(e.text(), field);
            QCOMPARE(e.kind(), kind);
        }
    }

    // What a site's own user runs to change its password: no server but MySQL sees the text.
    void ownPasswordChangeForEachDialect_data()
    {
        QTest::addColumn<SqlScript::Dialect>("dialect");
        QTest::addColumn<QString>("statement");
        QTest::addRow("mariadb: the native hash")
            << SqlScript::Dialect::MariaDb
            << u"SET PASSWORD = '*7614BE58636C810A9D8970A50B3B2A78450413E4'"_s;
        QTest::addRow("mysql: the password as an escaped literal")
            << SqlScript::Dialect::MySql << u"ALTER USER CURRENT_USER() IDENTIFIED BY 'pencil'"_s;
        QTest::addRow("postgresql: a verifier for the role itself")
            << SqlScript::Dialect::PostgreSql
            << u"ALTER ROLE CURRENT_USER PASSWORD '"_s +
                   PasswordHashes::scramSha256(
                       u"pencil"_s, QByteArray::fromHex("000102030405060708090a0b0c0d0e0f")) +
                   u"'"_s;
    }
    void ownPasswordChangeForEachDialect()
    {
        QFETCH(SqlScript::Dialect, dialect);
        QFETCH(QString, statement);
        ScriptedRandomSource random(saltScript());
        QCOMPARE(SqlScript::passwordChange(dialect, u"pencil"_s, random), statement);
    }
};

QTEST_APPLESS_MAIN(TestSqlScript)
#include "tst_sqlscript.moc"
