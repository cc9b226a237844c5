// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteProfile.h"
#include "SitepassError.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SiteTexts)
Q_DECLARE_METATYPE(SitepassError::Kind)

namespace {
// Every field different, so a reader that takes one from another's line is seen.
SiteTexts written()
{
    return {u"a.b"_s,          u"http://a.b"_s, u"80"_s,
            u"s5f5e1000db0"_s, u"u5f5e1000"_s,  u"p'\\`密"_s,
            u"/admin.php"_s,   u"admin"_s,      u"P2"_s};
}
} // namespace

class TestSiteReport : public QObject
{
    Q_OBJECT
private slots:
    void aThreePartNameReportsByteForByte()
    {
        const QString token = u"5F5E1000"_s;
        const QString table = SiteProfile::tableName(token);
        QCOMPARE(table, u"s5f5e1000db0"_s);
        const SiteTexts texts{u"a.b.c"_s,      SiteProfile::siteUrl(u"a.b.c"_s),
                              u"80"_s,         table,
                              table,           u"P1"_s,
                              u"/admin.php"_s, u"admin"_s,
                              u"P2"_s};
        const QByteArray expected =
            "\xe7\xab\x99 \xe7\x82\xb9 \xe5\x90\x8d \xe7\xa7\xb0\xef\xbc\x9a"
            "a.b.c\r\n"
            "\xe7\xab\x99 \xe7\x82\xb9 \xe7\x9b\xae \xe5\xbd\x95\xef\xbc\x9a"
            "A_B_C\r\n"
            "\xe7\xab\x99 \xe7\x82\xb9 \xe7\xbd\x91 \xe5\x9d\x80\xef\xbc\x9a"
            "http://a.b.c\r\n"
            "\xe7\xab\x99 \xe7\x82\xb9 \xe7\xab\xaf \xe5\x8f\xa3\xef\xbc\x9a"
            "80\r\n"
            "\xe6\x95\xb0\xe6\x8d\xae\xe5\xba\x93\xe8\xa1\xa8\xe5\x90\x8d\xef\xbc\x9a"
            "s5f5e1000db0\r\n"
            "\xe6\x95\xb0\xe6\x8d\xae\xe5\xba\x93\xe7\x94\xa8\xe6\x88\xb7\xef\xbc\x9a"
            "s5f5e1000db0\r\n"
            "\xe6\x95\xb0\xe6\x8d\xae\xe5\xba\x93\xe5\xaf\x86\xe7\xa0\x81\xef\xbc\x9a"
            "P1\r\n"
            "\xe7\xae\xa1\xe7\x90\x86\xe5\x91\x98\xe5\x90\x8e\xe5\x8f\xb0\xef\xbc\x9a"
            "/admin.php\r\n"
            "\xe7\xae\xa1\xe7\x90\x86\xe5\x91\x98\xe7\x94\xa8\xe6\x88\xb7\xef\xbc\x9a"
            "admin\r\n"
            "\xe7\xae\xa1\xe7\x90\x86\xe5\x91\x98\xe5\xaf\x86\xe7\xa0\x81\xef\xbc\x9a"
            "P2\r\n";
        QCOMPARE(BuildSiteReport(texts).toUtf8(), expected);
    }

    void siteNamesInLinesOneToThree_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("directory");
        QTest::addRow("mixed case with a dot") << "Ab.c"
                                               << "AB_C";
        QTest::addRow("no dots") << "localhost"
                                 << "LOCALHOST";
        QTest::addRow("spaces at either end stay") << " a.b "
                                                   << " A_B ";
        QTest::addRow("only dots are replaced") << "a-b_c.d e"
                                                << "A-B_C_D E";
        QTest::addRow("empty") << ""
                               << "";
        QTest::addRow("consecutive dots") << "a..b."
                                          << "A__B_";
    }
    void siteNamesInLinesOneToThree()
    {
        QFETCH(QString, name);
        QFETCH(QString, directory);
        SiteTexts texts;
        texts.siteName = name;
        texts.siteUrl = SiteProfile::siteUrl(name);
        const QStringList lines = BuildSiteReport(texts).split(u"\r\n"_s);
        QCOMPARE(lines.at(0), u"站 点 名 称："_s + name);
        QCOMPARE(lines.at(1), u"站 点 目 录："_s + directory);
        QCOMPARE(lines.at(2), u"站 点 网 址：http://"_s + name);
    }

    // 68 label characters, 20 line-end characters and the ten values, nothing else.
    void theReportIsLabelsValuesAndLineEnds_data()
    {
        QTest::addColumn<SiteTexts>("texts");
        QTest::addRow("all empty") << SiteTexts{};
        QTest::addRow("typical") << SiteTexts{
            u"ex.com"_s,       u"http://ex.com"_s, u"80"_s,
            u"s5f5e1000db0"_s, u"s5f5e1000db0"_s,  u"Xy12Xy12Xy12Xy12"_s,
            u"/admin.php"_s,   u"admin"_s,         u"Qw34Qw34Qw34Qw34"_s};
        QTest::addRow("values with line breaks stay as typed")
            << SiteTexts{u"a\nb"_s, {}, u"8\r0"_s, {}, {}, {}, {}, {}, {}};
    }
    void theReportIsLabelsValuesAndLineEnds()
    {
        QFETCH(SiteTexts, texts);
        const QString report = BuildSiteReport(texts);
        const qsizetype values =
            texts.siteName.size() * 2 + texts.siteUrl.size() + texts.sitePort.size() +
            texts.tableName.size() + texts.databaseUser.size() + texts.databasePassword.size() +
            texts.adminPath.size() + texts.adminUser.size() + texts.adminPassword.size();
        QCOMPARE(report.size(), 68 + 20 + values);
        QVERIFY(report.endsWith(u"管理员密码："_s + texts.adminPassword + u"\r\n"_s));
        QVERIFY(report.startsWith(u"站 点 名 称："_s));
    }

    void readsBackWhatWasWritten_data()
    {
        QTest::addColumn<QByteArray>("input");
        const QByteArray report = BuildSiteReport(written()).toUtf8();
        QTest::addRow("the report with CR LF") << report;
        QTest::addRow("the report with one more CR LF, as a paste may end") << report + "\r\n";
        QTest::addRow("the report with LF and no last line end")
            << QByteArray(report).replace("\r\n", "\n").chopped(1);
        QTest::addRow("the JSON") << SiteProfile::toJson(written(), u"5F5E1000"_s);
    }
    void readsBackWhatWasWritten()
    {
        QFETCH(QByteArray, input);
        const SiteTexts read = SiteProfile::read(input);
        QCOMPARE(read.tableName, u"s5f5e1000db0"_s);
        QCOMPARE(read.databaseUser, u"u5f5e1000"_s);
        QCOMPARE(read.databasePassword, u"p'\\`密"_s);
        // Every field, each in its own place.
        QCOMPARE(BuildSiteReport(read), BuildSiteReport(written()));
    }

    void unreadableProfilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<SitepassError::Kind>("kind");
        QTest::addColumn<QString>("field");
        using Kind = SitepassError::Kind;
        const QByteArray json = R"({"db_table": "t", "db_user": "u", "db_password": "p"})";
        QTest::addRow("empty") << QByteArray(" \n") << Kind::ProfileEmpty << QString();
        QTest::addRow("not UTF-8") << QByteArray("\xff\xfe") << Kind::ProfileNotUtf8 << QString();
        QTest::addRow("neither") << QByteArray("hello") << Kind::ProfileUnrecognised << u"report"_s;
        QTest::addRow("broken JSON")
            << QByteArray("{\"db_table\":") << Kind::ProfileUnrecognised << u"JSON"_s;
        QTest::addRow("a number for a name")
            << QByteArray(json).replace("\"t\"", "7") << Kind::ProfileUnrecognised << u"db_table"_s;
        QTest::addRow("no password") << QByteArray(R"({"db_table": "t", "db_user": "u"})")
                                     << Kind::FieldMissing << u"db_password"_s;
        QTest::addRow("empty user")
            << QByteArray(json).replace("\"u\"", "\"\"") << Kind::FieldEmpty << u"db_user"_s;
        QTest::addRow("a line break in the password")
            << QByteArray(json).replace("\"p\"", "\"a\\nb\"") << Kind::FieldBadCharacter
            << u"db_password"_s;
        QTest::addRow("a NUL in the password") << QByteArray(json).replace("\"p\"", "\"a\\u0000b\"")
                                               << Kind::FieldBadCharacter << u"db_password"_s;
        QTest::addRow("an escape in the password")
            << QByteArray(json).replace("\"p\"", "\"\\u001b[2J\"") << Kind::FieldBadCharacter
            << u"db_password"_s;
        QTest::addRow("a tab in the user") << QByteArray(json).replace("\"u\"", "\"a\\tb\"")
                                           << Kind::FieldBadCharacter << u"db_user"_s;
        QTest::addRow("a C1 control in the site name")
            << QByteArray(json).replace("{", "{\"site_name\": \"\\u009b31m\", ")
            << Kind::FieldBadCharacter << u"site_name"_s;
        QTest::addRow("a line separator in the admin password")
            << QByteArray(json).replace("{", "{\"admin_password\": \"a\\u2028\", ")
            << Kind::FieldBadCharacter << u"admin_password"_s;
        QTest::addRow("a lone surrogate in the table")
            << QByteArray(json).replace("\"t\"", "\"\\ud800\"") << Kind::FieldBadCharacter
            << u"db_table"_s;
        const QByteArray report =
            BuildSiteReport({u"a"_s, {}, {}, u"t"_s, u"u"_s, u"p"_s, {}, {}, {}}).toUtf8();
        QTest::addRow("a report line lost")
            << QByteArray(report).replace("u\r\n", "") << Kind::ProfileUnrecognised << u"report"_s;
        QTest::addRow("a report label changed")
            << QByteArray(report).replace("\xe7\x94\xa8\xe6\x88\xb7", "xx") << Kind::FieldMissing
            << u"数据库用户"_s;
        QTest::addRow("a DEL in a report's password")
            << QByteArray(report).replace("p\r\n", "p\x7f\r\n") << Kind::FieldBadCharacter
            << u"数据库密码"_s;
        QTest::addRow("a BEL in a report's admin path")
            << QByteArray(report).replace("\xe5\x90\x8e\xe5\x8f\xb0\xef\xbc\x9a",
                                          "\xe5\x90\x8e\xe5\x8f\xb0\xef\xbc\x9a\x07")
            << Kind::FieldBadCharacter << u"管理员后台"_s;
        QTest::addRow("a report without its password")
            << QByteArray(report).replace("p\r\n", "\r\n") << Kind::FieldEmpty << u"数据库密码"_s;
    }
    void unreadableProfilesAreRefused()
    {
        QFETCH(QByteArray, input);
        QFETCH(SitepassError::Kind, kind);
        QFETCH(QString, field);
        try {
            SiteProfile::read(input);
            QFAIL("read");
        } catch (const SitepassError &e) {
            QCOMPARE(e.kind(), kind);
            QCOMPARE(e.text(), field);
        }
    }
};

QTEST_APPLESS_MAIN(TestSiteReport)
#include "tst_sitereport.moc"
