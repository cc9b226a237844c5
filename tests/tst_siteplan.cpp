// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SitePlan.h"

#include "support/ScriptedRandomSource.h"

#include <QTest>

using namespace Qt::StringLiterals;
using SitePlan::App;
using SitePlan::Server;

Q_DECLARE_METATYPE(SitePlan::App)
Q_DECLARE_METATYPE(SitePlan::Server)
Q_DECLARE_METATYPE(SqlScript::Dialect)

namespace {
SiteTexts profile()
{
    SiteTexts t;
    t.siteName = u"shop.example.com"_s;
    t.siteUrl = u"http://shop.example.com"_s;
    t.sitePort = u"80"_s;
    t.tableName = t.databaseUser = u"s6b174c82db0"_s;
    t.databasePassword = u"Fn2es2BF'fe0o8pVN"_s;
    t.adminPath = u"/admin.php"_s;
    t.adminUser = u"admin"_s;
    t.adminPassword = u"pSeXqhgpRRej8zxD"_s;
    return t;
}
} // namespace

class TestSitePlan : public QObject
{
    Q_OBJECT
private slots:
    void eachAppsFilesWhereItReadsThem_data()
    {
        QTest::addColumn<App>("app");
        QTest::addColumn<SqlScript::Dialect>("engine");
        QTest::addColumn<Server>("server");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("served");
        const QString root = u"/var/www/SHOP_EXAMPLE_COM"_s;
        QTest::addRow("php on nginx") << App::Php << SqlScript::Dialect::MariaDb << Server::Nginx
                                      << root + u"/config.php"_s << root;
        QTest::addRow("laravel serves public/, its .env above it")
            << App::Laravel << SqlScript::Dialect::PostgreSql << Server::Apache << root + u"/.env"_s
            << root + u"/public"_s;
        QTest::addRow("wordpress's settings beside it")
            << App::WordPress << SqlScript::Dialect::MariaDb << Server::Nginx
            << root + u"/wp-config.php"_s << root;
    }
    void eachAppsFilesWhereItReadsThem()
    {
        QFETCH(App, app);
        QFETCH(SqlScript::Dialect, engine);
        QFETCH(Server, server);
        QFETCH(QString, settings);
        QFETCH(QString, served);
        SitePlan::Layout layout;
        layout.poolFolder = u"/etc/php/8.2/fpm/pool.d"_s;
        ScriptedRandomSource random;
        const SitePlan::Site site =
            SitePlan::plan(profile(), app, engine, server, {}, layout, random);
        QCOMPARE(site.settingsFile, settings);
        QCOMPARE(site.docRoot, served);
        QCOMPARE(site.user, u"site-shop_example_com"_s);
        QCOMPARE(site.poolFile, u"/etc/php/8.2/fpm/pool.d/SHOP_EXAMPLE_COM.conf"_s);
        QVERIFY(site.serverLink.contains(u"/sites-enabled/shop.example.com"_s));
        QVERIFY(site.settingsText.contains(u"Fn2es2BF"_s));
    }

    void aFolderTheServerReadsWholeNeedsNoLinkNorModule()
    {
        SitePlan::Layout layout = SitePlan::debianLayout(u"8.2"_s, Server::Apache);
        layout.serverFolder = u"/www/server/panel/vhost/apache"_s;
        ScriptedRandomSource random;
        const SitePlan::Site site = SitePlan::plan(profile(), App::Php, SqlScript::Dialect::MariaDb,
                                                   Server::Apache, {}, layout, random);
        QCOMPARE(site.serverFile, u"/www/server/panel/vhost/apache/shop.example.com.conf"_s);
        QVERIFY(site.serverLink.isEmpty());
        QVERIFY(site.apacheModules.isEmpty());
    }

    // The placeholder's file, served as text, holds no answer that would pass the check.
    void thePlaceholderAnswersOnlyWhenRun()
    {
        ScriptedRandomSource random;
        const SitePlan::Site site =
            SitePlan::plan(profile(), App::Php, SqlScript::Dialect::MariaDb, Server::Nginx, {},
                           SitePlan::debianLayout(u"8.2"_s, Server::Nginx), random);
        const QString token = site.placeholderText.section(u"bin2hex('"_s, 1).section(u'\'', 0, 0);
        QCOMPARE(token.size(), 24);
        QVERIFY(site.checkAnswer.contains(QString::fromLatin1(token.toLatin1().toHex())));
        QVERIFY(!site.placeholderText.contains(site.checkAnswer.trimmed()));
    }

    void theJournalReadsBackWithoutASecret()
    {
        const SitePlan::Layout layout = SitePlan::debianLayout(u"8.2"_s, Server::Apache);
        ScriptedRandomSource random;
        SitePlan::Journal journal;
        journal.site = SitePlan::plan(profile(), App::Laravel, SqlScript::Dialect::PostgreSql,
                                      Server::Apache, {}, layout, random);
        journal.steps = {{SitePlan::Step::User, true}, {SitePlan::Step::Folders, false}};
        journal.madeLogFolder = true;
        journal.removed = true;
        journal.databaseDropped = true;
        const QByteArray bytes = SitePlan::write(journal);
        QVERIFY(!bytes.contains("Fn2es2BF"));
        QVERIFY(!bytes.contains("SCRAM"));
        // The check's token is for this add only: the journal is read by root alone, but the
        // answer must not outlive the run.
        QVERIFY(!bytes.contains(journal.site.checkAnswer.section(u'(', 1).chopped(2).toUtf8()));
        const auto back = SitePlan::read(bytes);
        QVERIFY(back);
        QCOMPARE(SitePlan::write(*back), bytes);
        QVERIFY(back->removed && back->databaseDropped && !back->filesDeleted);
        QCOMPARE(back->site.serverLogs.size(), 2);
        QCOMPARE(back->site.phpFpmPidFile, u"/run/php/php8.2-fpm.pid"_s);
        QVERIFY(!SitePlan::read("{\"host\": \"a.test\", \"app\": \"cobol\"}"));
    }
};

QTEST_APPLESS_MAIN(TestSitePlan)
#include "tst_siteplan.moc"
