// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SitepassError.h"
#include "WebConfig.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
SiteTexts profile(const QString &name = u"example.com"_s, const QString &port = u"80"_s,
                  const QString &adminPath = u"/admin.php"_s)
{
    SiteTexts texts;
    texts.siteName = name;
    texts.sitePort = port;
    texts.adminPath = adminPath;
    return texts;
}

// Default settings but for one.
template <typename T> WebConfig::Settings with(T WebConfig::Settings::*member, const QString &value)
{
    WebConfig::Settings settings;
    settings.*member = T{value};
    return settings;
}

// The files as reviewed, line by line, in tests/webconfig/, and served by e2e_web_servers.
QString expected(const QString &name)
{
    QFile file(QStringLiteral(SITEPASS_WEBCONFIG_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

class TestWebConfig : public QObject
{
    Q_OBJECT
private slots:
    void eachFormatForOneProfile()
    {
        using WebConfig::Format;
        WebConfig::Settings s;
        QCOMPARE(WebConfig::build(Format::PhpFpm, profile(), s), expected(u"example.php-fpm"_s));
        s.runDir = u"public"_s;
        s.adminAllow = {u"10.0.0.0/8"_s, u"2001:DB8:0::/32"_s};
        s.listenAddress = u"192.0.2.10"_s;
        QCOMPARE(WebConfig::build(Format::Nginx, profile(), s), expected(u"example.nginx"_s));
        s.adminAllow = {u"10.0.0.0/8"_s};
        s.listenAddress.clear();
        s.tlsCertificate = u"/etc/ssl/example.com.crt"_s;
        s.tlsKey = u"/etc/ssl/example.com.key"_s;
        s.tlsPort = u"8443"_s;
        s.maxUpload = u"128"_s;
        QCOMPARE(WebConfig::build(Format::Apache, profile(), s), expected(u"example-tls.apache"_s));
        // WordPress's admin folder, and TLS on every address.
        s.runDir.clear();
        s.tlsPort = u"443"_s;
        s.maxUpload = u"64"_s;
        QCOMPARE(
            WebConfig::build(Format::Nginx, profile(u"example.com"_s, u"80"_s, u"/wp-admin/"_s), s),
            expected(u"example-wordpress-tls.nginx"_s));
    }

    void acceptances_data()
    {
        QTest::addColumn<QString>("adminPath");
        QTest::addColumn<WebConfig::Settings>("settings");
        QTest::addColumn<QString>("line");
        using S = WebConfig::Settings;
        S allowed;
        allowed.adminAllow = {u"2001:db8::/64"_s};
        QTest::addRow("an IPv6 network narrower than /32")
            << u"/admin.php"_s << allowed << u"allow 2001:db8::/64;"_s;
        QTest::addRow("an admin path with a dot, escaped in its pattern")
            << u"/admin.v2/"_s << with(&S::adminAllow, u"10.0.0.1"_s)
            << u"location ~ ^/index\\.php/admin\\.v2(/|$) {"_s;
        const QString socket = u'/' + QString(106, u's');
        QTest::addRow("a socket of 107 bytes") << u"/admin.php"_s << with(&S::phpSocket, socket)
                                               << u"fastcgi_pass unix:%1;"_s.arg(socket);
        QTest::addRow("logs in a folder of the user's")
            << u"/admin.php"_s << with(&S::logDir, u"/home/wwwlogs/"_s)
            << u"access_log /home/wwwlogs/example.com.access.log;"_s;
    }
    void acceptances()
    {
        QFETCH(QString, adminPath);
        QFETCH(WebConfig::Settings, settings);
        QFETCH(QString, line);
        const QString text = WebConfig::build(
            WebConfig::Format::Nginx, profile(u"example.com"_s, u"80"_s, adminPath), settings);
        QVERIFY2(text.contains(u"\n    "_s + line + u'\n') ||
                     text.contains(u"        "_s + line + u'\n'),
                 qPrintable(text));
    }

    void hostNamesInPunycode()
    {
        QCOMPARE(WebConfig::hostName(u"bücher.example"_s), u"xn--bcher-kva.example"_s);
        QCOMPARE(WebConfig::hostName(u"Example.COM"_s), u"example.com"_s);
        QCOMPARE(WebConfig::hostName(QString(63, u'a') + u".b"_s).size(), 65);
    }

    void refusals_data()
    {
        QTest::addColumn<SiteTexts>("site");
        QTest::addColumn<WebConfig::Settings>("settings");
        QTest::addColumn<QString>("field");
        using S = WebConfig::Settings;
        const S none;
        QTest::addRow("a site name that injects a location")
            << profile(u"example.com; location = /x { return 200 INJECTED; } #"_s) << none
            << u"site_name"_s;
        QTest::addRow("an empty label") << profile(u"test..com"_s) << none << u"site_name"_s;
        QTest::addRow("a space") << profile(u"a b.com"_s) << none << u"site_name"_s;
        QTest::addRow("a label of 64")
            << profile(QString(64, u'a') + u".b"_s) << none << u"site_name"_s;
        QTest::addRow("a leading hyphen") << profile(u"-a.com"_s) << none << u"site_name"_s;
        QTest::addRow("port 0") << profile(u"a.b"_s, u"0"_s) << none << u"site_port"_s;
        QTest::addRow("port 65536") << profile(u"a.b"_s, u"65536"_s) << none << u"site_port"_s;
        QTest::addRow("port not digits") << profile(u"a.b"_s, u"8o"_s) << none << u"site_port"_s;
        QTest::addRow("a site directory for a default path")
            << profile(u"bücher.example"_s) << none << u"site_directory"_s;
        QTest::addRow("an admin path with ; when restricted")
            << profile(u"a.b"_s, u"80"_s, u"/a;b"_s) << with(&S::adminAllow, u"10.0.0.1"_s)
            << u"admin_path"_s;
        QTest::addRow("a relative site root")
            << profile() << with(&S::siteRoot, u"www"_s) << u"--site-root"_s;
        QTest::addRow("a .. part")
            << profile() << with(&S::siteRoot, u"/a/../b"_s) << u"--site-root"_s;
        QTest::addRow("a $ nginx would expand")
            << profile() << with(&S::phpSocket, u"/a$b"_s) << u"--php-socket"_s;
        QTest::addRow("a space in the certificate")
            << profile() << with(&S::tlsCertificate, u"/a b"_s) << u"--tls-certificate"_s;
        QTest::addRow("an absolute run dir")
            << profile() << with(&S::runDir, u"/public"_s) << u"--run-dir"_s;
        QTest::addRow("a user with a space")
            << profile() << with(&S::phpUser, u"www data"_s) << u"--php-user"_s;
        QTest::addRow("an address past 255")
            << profile() << with(&S::listenAddress, u"10.0.0.300"_s) << u"--listen-address"_s;
        QTest::addRow("an IPv6 zone")
            << profile() << with(&S::listenAddress, u"fe80::1%eth0"_s) << u"--listen-address"_s;
        QTest::addRow("a prefix past 32")
            << profile() << with(&S::adminAllow, u"10.0.0.0/33"_s) << u"--admin-allow"_s;
        QTest::addRow("an _ in a host label") << profile(u"a_b.test"_s) << none << u"site_name"_s;
        QTest::addRow("a user starting with a digit")
            << profile() << with(&S::webUser, u"1www"_s) << u"--web-user"_s;
        QTest::addRow("an IPv4 part with a leading zero")
            << profile() << with(&S::listenAddress, u"010.0.0.1"_s) << u"--listen-address"_s;
        QTest::addRow("a . path part")
            << profile() << with(&S::siteRoot, u"/var/www/./x"_s) << u"--site-root"_s;
        // What php-fpm's reader would change: operators, "=", open_basedir's ":" and booleans.
        for (const QString &c :
             {u"&"_s, u"|"_s, u"^"_s, u"~"_s, u"!"_s, u"("_s, u")"_s, u"="_s, u":"_s})
            QTest::addRow("%s in a path", qPrintable(c))
                << profile() << with(&S::siteRoot, u"/srv/b"_s + c + u"old"_s) << u"--site-root"_s;
        QTest::addRow("yes as the pool's user")
            << profile() << with(&S::phpUser, u"yes"_s) << u"--php-user"_s;
        QTest::addRow("None as the web user")
            << profile() << with(&S::webUser, u"None"_s) << u"--web-user"_s;
        QTest::addRow("a socket of 108 bytes")
            << profile() << with(&S::phpSocket, u'/' + QString(107, u's')) << u"--php-socket"_s;
        QTest::addRow("a path part of 256 bytes")
            << profile() << with(&S::siteRoot, u'/' + QString(256, u'p')) << u"--site-root"_s;
        QTest::addRow("a run dir past the path limit")
            << profile() << with(&S::runDir, (QString(200, u'r') + u'/').repeated(20))
            << u"--run-dir"_s;
        QTest::addRow("a non-ASCII name that folds into an ASCII directory")
            << profile(u"straße.test"_s) << none << u"site_directory"_s;
        QTest::addRow("no upload at all")
            << profile() << with(&S::maxUpload, u"0"_s) << u"--max-upload"_s;
        QTest::addRow("an upload past Apache's limit")
            << profile() << with(&S::maxUpload, u"2048"_s) << u"--max-upload"_s;
        QTest::addRow("an upload size with a unit")
            << profile() << with(&S::maxUpload, u"64M"_s) << u"--max-upload"_s;
        QTest::addRow("a relative log folder")
            << profile() << with(&S::logDir, u"logs"_s) << u"--log-dir"_s;
    }
    void refusals()
    {
        QFETCH(SiteTexts, site);
        QFETCH(WebConfig::Settings, settings);
        QFETCH(QString, field);
        try {
            WebConfig::build(WebConfig::Format::Nginx, site, settings);
            QFAIL("accepted");
        } catch (const SitepassError &e) {
            QCOMPARE(e.kind(), SitepassError::Kind::WebValueInvalid);
            QCOMPARE(e.text(), field);
        }
    }

    void distinctSitesNeverSharePoolUserOrSocket_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addRow("ß and ss") << u"straße.test"_s << u"strasse.test"_s;
        QTest::addRow("dotless i and i") << u"ıdea.test"_s << u"idea.test"_s;
        QTest::addRow("long names alike in their first 23 characters")
            << QString(40, u'a') + u".test"_s << QString(40, u'a') + u".tesu"_s;
    }
    void distinctSitesNeverSharePoolUserOrSocket()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        WebConfig::Settings s;
        s.siteRoot = u"/srv/site"_s;
        // A line of the pool's: its section, its user or its socket.
        const auto poolLine = [&](const QString &name, const QString &start) {
            s.phpSocket = u"/run/php/"_s + WebConfig::hostName(name) + u".sock"_s;
            const QString text = WebConfig::build(WebConfig::Format::PhpFpm, profile(name), s);
            for (const QString &line : text.split(u'\n'))
                if (line.startsWith(start))
                    return line;
            return QString();
        };
        for (const QString &start : {u"["_s, u"user = "_s, u"listen = "_s})
            QCOMPARE_NE(poolLine(first, start), poolLine(second, start));
        QVERIFY(WebConfig::poolUser(WebConfig::hostName(first)).size() <= 32);
        QCOMPARE_NE(WebConfig::poolUser(WebConfig::hostName(first)),
                    WebConfig::poolUser(WebConfig::hostName(second)));
    }

    void noPoolIsNamedGlobal()
    {
        try {
            WebConfig::build(WebConfig::Format::PhpFpm, profile(u"Global"_s), {});
            QFAIL("accepted");
        } catch (const SitepassError &e) {
            QCOMPARE(e.text(), u"pool"_s);
        }
        QVERIFY(!WebConfig::build(WebConfig::Format::Nginx, profile(u"global"_s), {}).isEmpty());
    }

    void everyAddressUnlessOneIsGiven()
    {
        const QString text = WebConfig::build(WebConfig::Format::Nginx, profile(), {});
        QVERIFY(text.contains(u"\n    listen 80;\n"_s));
        QVERIFY(text.contains(u"\n    listen [::]:80;\n"_s));
    }

    void theSiteDirectoryMattersOnlyInDefaultPaths()
    {
        WebConfig::Settings s;
        s.siteRoot = u"/srv/b"_s;
        s.phpSocket = u"/run/b.sock"_s;
        QVERIFY(WebConfig::build(WebConfig::Format::Nginx, profile(u"bücher.example"_s), s)
                    .contains(u"server_name xn--bcher-kva.example;"_s));
        QVERIFY(WebConfig::build(WebConfig::Format::PhpFpm, profile(u"bücher.example"_s), s)
                    .contains(u"\n[XN--BCHER-KVA_EXAMPLE]\n"_s));
    }
};

QTEST_APPLESS_MAIN(TestWebConfig)
#include "tst_webconfig.moc"
