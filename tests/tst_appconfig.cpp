// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppConfig.h"
#include "SitepassError.h"
#include "support/ScriptedRandomSource.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
SiteTexts profile(const QString &password, const QString &user = u"site_u"_s)
{
    SiteTexts texts;
    texts.siteUrl = u"http://example.com"_s;
    texts.tableName = u"site_db"_s;
    texts.databaseUser = user;
    texts.databasePassword = password;
    return texts;
}
} // namespace

class TestAppConfig : public QObject
{
    Q_OBJECT
private slots:
    void valuesAreQuotedForTheirParser_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("dotenv");
        QTest::addColumn<QString>("php");
        QTest::addRow("no quote: single quotes, # and $ literal")
            << u"a#b$c\\"_s << u"'a#b$c\\'"_s << u"'a#b$c\\\\'"_s;
        QTest::addRow("a quote: double quotes, only \\ \" $ escaped")
            << u"a'b\"c$d\\"_s << u"\"a'b\\\"c\\$d\\\\\""_s << u"'a\\'b\"c$d\\\\'"_s;
        QTest::addRow("${HOME} without a quote")
            << u"${HOME}"_s << u"'${HOME}'"_s << u"'${HOME}'"_s;
        QTest::addRow("=\" without a quote: a comment closes phpdotenv's multi-line reading")
            << u"a=\"b"_s << u"'a=\"b' #\""_s << u"'a=\"b'"_s;
    }
    void valuesAreQuotedForTheirParser()
    {
        QFETCH(QString, text);
        QFETCH(QString, dotenv);
        QFETCH(QString, php);
        QCOMPARE(AppConfig::dotenvValue(text), dotenv);
        QCOMPARE(AppConfig::phpString(text), php);
    }

    void dotenvConflicts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("conflict");
        QTest::addRow("no quote: never") << u"\\n\\\"$(x)${A:-$}"_s << QString();
        QTest::addRow("a quote alone") << u"a'b\"c\\d$e${F}"_s << QString();
        QTest::addRow("a quote and \\n") << u"'\\n"_s << u"\\n"_s;
        QTest::addRow("a quote and \\r") << u"\\r'"_s << u"\\r"_s;
        QTest::addRow("a quote and \\\"") << u"'\\\""_s << u"\\\""_s;
        QTest::addRow("a quote and $(") << u"'$(x"_s << u"$("_s;
        QTest::addRow("a quote and a default that takes a later $")
            << u"'${A:-b$}"_s << u"${A:-b$"_s;
        QTest::addRow("a quote and a default after an _name") << u"'${_A:=$}"_s << u"${_A:=$"_s;
        QTest::addRow("a quote and a default ended before the next $")
            << u"'$A:=b}$"_s << QString();
    }
    void dotenvConflicts()
    {
        QFETCH(QString, text);
        QFETCH(QString, conflict);
        QCOMPARE(AppConfig::dotenvConflict(text), conflict);
    }

    void laravelForEachEngine()
    {
        ScriptedRandomSource random;
        const QString pg = AppConfig::build(AppConfig::Format::Laravel, profile(u"p'w"_s),
                                            SqlScript::Dialect::PostgreSql, u"db"_s, random);
        QCOMPARE(pg, u"APP_URL='http://example.com'\nDB_CONNECTION=pgsql\nDB_HOST='db'\n"
                     "DB_PORT=5432\nDB_DATABASE='site_db'\nDB_USERNAME='site_u'\n"
                     "DB_PASSWORD=\"p'w\"\n"_s);
        QVERIFY(AppConfig::build(AppConfig::Format::Php, profile(u"p"_s),
                                 SqlScript::Dialect::MariaDb, u"db"_s, random)
                    .contains(u"'driver'   => 'mysql',\n    'host'     => 'db',\n"
                              "    'port'     => 3306,"_s));
        const QString php = AppConfig::build(AppConfig::Format::Php, profile(u"p"_s),
                                             SqlScript::Dialect::PostgreSql, u"db"_s, random);
        QVERIFY(php.contains(u"'driver'   => 'pgsql',"_s));
        QVERIFY(php.contains(u"'charset'  => 'utf8',"_s));
        try {
            AppConfig::build(AppConfig::Format::Laravel, profile(u"'\\n"_s),
                             SqlScript::Dialect::MariaDb, u"db"_s, random);
            QFAIL("a password no .env quoting reads back alike");
        } catch (const SitepassError &e) {
            QCOMPARE(e.kind(), SitepassError::Kind::ValueUnquotable);
            QCOMPARE(e.text(), u"db_password"_s);
        }
    }

    void wordPressKeysComeFromTheSource()
    {
        QCOMPARE(AppConfig::wordPressKeyAlphabet,
                 u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                 "!@#$%^&*()-_ []{}<>~`+=,.;:/?|");
        QCOMPARE(AppConfig::wordPressKeyAlphabet.size(), 92);
        // Positions 1..64 of the alphabet for the first key, then 0 (its first letter).
        QList<float> script;
        const qsizetype n = AppConfig::wordPressKeyAlphabet.size();
        for (int k = 0; k < AppConfig::wordPressKeyLength; ++k)
            script << (k + 0.5f) / float(n);
        ScriptedRandomSource random(script);
        const QString text = AppConfig::build(AppConfig::Format::WordPress, profile(u"p"_s),
                                              SqlScript::Dialect::MySql, u"localhost"_s, random);
        const QString first = AppConfig::wordPressKeyAlphabet.left(64).toString();
        QVERIFY2(text.contains(u"define( 'AUTH_KEY',          '%1' );"_s.arg(first)),
                 qPrintable(text));
        QVERIFY(text.contains(u"'SECURE_AUTH_KEY',   '%1'"_s.arg(QString(64, u'a'))));
        QCOMPARE(random.nextCalls(), 8 * 64);
    }

    void refusals()
    {
        ScriptedRandomSource random;
        try {
            AppConfig::build(AppConfig::Format::WordPress, profile(u"p"_s),
                             SqlScript::Dialect::PostgreSql, u"localhost"_s, random);
            QFAIL("WordPress on PostgreSQL");
        } catch (const SitepassError &e) {
            QCOMPARE(e.kind(), SitepassError::Kind::EngineUnsupported);
        }
        try {
            AppConfig::build(AppConfig::Format::Laravel, profile(u"p"_s, u"a b"_s),
                             SqlScript::Dialect::MariaDb, u"localhost"_s, random);
            QFAIL("a user sql would refuse");
        } catch (const SitepassError &e) {
            QCOMPARE(e.kind(), SitepassError::Kind::NameBadCharacter);
            QCOMPARE(e.text(), u"db_user"_s);
        }
    }
};

QTEST_APPLESS_MAIN(TestAppConfig)
#include "tst_appconfig.moc"
