// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PasswordHashes.h"
#include "SitepassError.h"
#include "SqlScript.h"
#include "support/ScriptedRandomSource.h"

#include <QTest>

using namespace Qt::StringLiterals;

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

    void saslPrepAsPostgresDoes_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("prepared");
        QTest::addRow("ASCII, controls included, as it is") << u"a\tb"_s << u"a\tb"_s;
        QTest::addRow("no-break space to space") << u"a\u00A0é"_s << u"a é"_s;
        QTest::addRow("soft hyphen dropped") << u"a\u00ADé"_s << u"aé"_s;
        QTest::addRow("only dropped characters: unchanged") << u"\u00AD"_s << u"\u00AD"_s;
        QTest::addRow("unassigned in Unicode 3.2 (emoji): unchanged")
            << u"ｘ\U0001F510"_s << u"ｘ\U0001F510"_s;
        QTest::addRow("private use: unchanged") << u"ａ\uE000"_s << u"ａ\uE000"_s;
        QTest::addRow("right-to-left beside left-to-right: unchanged")
            << u"\u05D0a"_s << u"\u05D0a"_s;
        QTest::addRow("right-to-left alone, normalised") << u"\u05D0\u05D1"_s << u"\u05D0\u05D1"_s;
    }
    void saslPrepAsPostgresDoes()
    {
        QFETCH(QString, password);
        QFETCH(QString, prepared);
        QCOMPARE(QString::fromUtf8(PasswordHashes::saslPrep(password)), prepared);
    }

    void namesAreQuotedForEachDialect_data()
    {
        QTest::addColumn<SqlScript::Dialect>("dialect");
        QTest::addColumn<QString>("expected");
        QTest::addRow("mariadb: backquotes doubled, wildcards escaped in the grant")
            << SqlScript::Dialect::MariaDb
            << u"GRANT ALL PRIVILEGES ON `my\\_d``b`.* TO 'o\\'n'@'h\\\\';"_s;
        QTest::addRow("mysql: the password as an escaped literal")
            << SqlScript::Dialect::MySql << u"IDENTIFIED BY 'p\\'\\\\';"_s;
        QTest::addRow("postgresql: double quotes doubled")
            << SqlScript::Dialect::PostgreSql << u"ALTER DATABASE \"my_d`b\" OWNER TO \"o'n\";"_s;
    }
    void namesAreQuotedForEachDialect()
    {
        QFETCH(SqlScript::Dialect, dialect);
        QFETCH(QString, expected);
        ScriptedRandomSource random;
        const QString script =
            SqlScript::build(dialect, profile(u"my_d`b"_s, u"o'n"_s, u"p'\\"_s), u"h\\"_s, random);
        QVERIFY2(script.contains(expected), qPrintable(script));
    }

    void namesOverTheServersLimitAreRefused_data()
    {
        QTest::addColumn<SqlScript::Dialect>("dialect");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("field");               // empty: accepted
        const QString cjk21 = QString(21, QChar(0x4E2D)); // 63 bytes
        QTest::addRow("mariadb: 64 characters")
            << SqlScript::Dialect::MariaDb << QString(64, u'd') << u"u"_s << QString();
        QTest::addRow("mariadb: 65 characters")
            << SqlScript::Dialect::MariaDb << QString(65, u'd') << u"u"_s << u"db_table"_s;
        QTest::addRow("mysql: a user of 33")
            << SqlScript::Dialect::MySql << u"d"_s << QString(33, u'u') << u"db_user"_s;
        QTest::addRow("postgresql: 63 bytes")
            << SqlScript::Dialect::PostgreSql << cjk21 << u"u"_s << QString();
        QTest::addRow("postgresql: 64 bytes")
            << SqlScript::Dialect::PostgreSql << u"d"_s << cjk21 + u'u' << u"db_user"_s;
    }
    void namesOverTheServersLimitAreRefused()
    {
        QFETCH(SqlScript::Dialect, dialect);
        QFETCH(QString, table);
        QFETCH(QString, user);
        QFETCH(QString, field);
        ScriptedRandomSource random;
        try {
            SqlScript::build(dialect, profile(table, user, u"p"_s), u"localhost"_s, random);
            QVERIFY(field.isEmpty());
        } catch (const SitepassError &e) {
            QCOMPARE(e.kind(), SitepassError::Kind::NameTooLong);
            QCOMPARE(e.text(), field);
        }
    }
};

QTEST_APPLESS_MAIN(TestSqlScript)
#include "tst_sqlscript.moc"
