// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApacheConfig.h"

using namespace Qt::StringLiterals;

namespace ApacheConfig {

namespace {
QString hostGuard(const WebSite &site)
{
    return u"    # Another host name that reaches this VirtualHost (it may be the port's default) "
           "is refused.\n    <If \"tolower(%{HTTP_HOST}) !~ /^%1(:[0-9]+)?$/\">\n"
           "        Require all denied\n    </If>\n"_s.arg(site.hostPattern());
}

QString directory(const WebSite &site, bool php)
{
    // Above the served folder the site's user owns the folder that holds it, and could make
    // the served folder a link to another site's: Debian's /var/www/ follows links.
    const QString siteRoot =
        site.siteRoot == site.docRoot
            ? QString()
            : u"    <Directory %1>\n"
              "        # The served folder as a link counts only where the link's owner owns "
              "its target.\n"
              "        Options SymLinksIfOwnerMatch\n"
              "        AllowOverride None\n"
              "    </Directory>\n"_s.arg(site.siteRoot);
    return siteRoot +
           u"    <Directory %1>\n"
           "        # No listings, and links followed only where the link and its target have one "
           "owner.\n"
           "        Options SymLinksIfOwnerMatch\n"
           "        AllowOverride None\n"
           "        Require all granted\n%2"
           "    </Directory>\n"_s.arg(site.docRoot,
                                      php ? u"        DirectoryIndex index.php index.html\n"
                                            "        FallbackResource /index.php\n"_s
                                          : QString());
}

// The site's own logs, and request bodies as large as its pool takes uploads.
QString logsAndBodies(const WebSite &site)
{
    return u"    ErrorLog %1\n    CustomLog %2 combined\n    LimitRequestBody %3\n"_s.arg(
        site.log(u"error"), site.log(u"access"),
        QString::number(site.maxUploadMb.toLongLong() << 20));
}

QString adminLocation(const WebSite &site)
{
    const QString require = u"        Require ip %1\n"_s.arg(site.allow.join(u' '));
    if (site.adminIsScript())
        return u"    # The admin path, from the allowed addresses only.\n"
               "    <Location \"%1\">\n"_s.arg(site.adminPath) +
               require + u"    </Location>\n"_s;
    QString text =
        u"    # The admin path, from the allowed addresses only: %1, what is under %1/, and "
        u"the\n"
        "    # same routes through the front controller (/index.php%1).\n"
        "    <LocationMatch \"^(/index\\.php)?%2(/|$)\">\n"_s.arg(site.adminFolder(),
                                                                  site.adminPattern()) +
        require + u"    </LocationMatch>\n"_s;
    if (site.adminIsWordPress())
        text +=
            u"    # WordPress's login and XML-RPC (which takes the admin's password too) with it "
            u"(a "
            "path after\n"
            "    # the script runs it too); what every visitor's browser loads from the admin "
            "folder stays\n"
            "    # open: front-end AJAX, the login page's styles.\n"
            "    <LocationMatch \"^/(wp-login|xmlrpc)\\.php(/|$)\">\n"_s +
            require +
            u"    </LocationMatch>\n"
            "    <LocationMatch \"^/wp-admin/(admin-ajax\\.php|load-styles\\.php|(css|images|js)/"
            ".+\\.(css|js|map|png|gif|jpe?g|svg|webp|woff2?|ttf|eot))$\">\n"
            "        Require all granted\n"
            "    </LocationMatch>\n"_s;
    return text;
}

QString siteBody(const WebSite &site)
{
    QString text = u"    ServerName %1\n    DocumentRoot %2\n"_s.arg(site.host, site.docRoot) +
                   logsAndBodies(site) + directory(site, true) +
                   u"    # PHP runs in the site's pool, for scripts that exist.\n"
                   "    <FilesMatch \"\\.php$\">\n"
                   "        <If \"-f %{REQUEST_FILENAME}\">\n"
                   "            SetHandler \"proxy:unix:%1|fcgi://localhost\"\n"
                   "        </If>\n"
                   "    </FilesMatch>\n"_s.arg(site.socket);
    if (!site.allow.isEmpty())
        text += adminLocation(site);
    return text + hostGuard(site) +
           u"    # Dotfiles and dot-folders (.env, .git/, .user.ini, .htaccess) are never "
           "served; /.well-known/ is.\n"
           "    <LocationMatch \"/\\.(?!well-known/)\">\n"
           "        Require all denied\n"
           "    </LocationMatch>\n"_s;
}

QString virtualHost(const QString &listen)
{
    return u"<VirtualHost %1>\n"_s.arg(listen.contains(u':') ? listen : u"*:"_s + listen);
}
} // namespace

QString build(const WebSite &site)
{
    const bool tls = !site.certificate.isEmpty();
    QString text =
        u"# Apache 2.4 VirtualHost for %1, made by sitepass-cli. Modules: proxy proxy_fcgi%2 "
        "(a2enmod proxy_fcgi%2); Listen %3%4 in ports.conf.\n"_s.arg(
            site.host, tls ? u" ssl rewrite"_s : QString(), site.port,
            tls ? u" and Listen "_s + site.tlsPort : QString());
    text += virtualHost(site.listen);
    if (!tls)
        return text + siteBody(site) + u"</VirtualHost>\n"_s;
    // The path as the client sent it, from the request line (mod_alias and %{REQUEST_URI} hand
    // it on decoded, so "%23" would become a fragment); the query follows as it came.
    text += u"    ServerName %1\n    DocumentRoot %2\n"_s.arg(site.host, site.docRoot) +
            logsAndBodies(site) + directory(site, false) + hostGuard(site) +
            u"    # Certificate renewals are answered here, on plain HTTP; everything else moves "
            "to HTTPS,\n    # its path and query as sent.\n"
            "    RewriteEngine on\n"
            "    RewriteCond %{REQUEST_URI} !^/\\.well-known/acme-challenge/\n"
            "    RewriteCond %{THE_REQUEST} "
            "^\\S+\\s+(?:[a-zA-Z][a-zA-Z0-9+.-]*://[^/\\s]*)?(/[^?\\s]*)\n"
            "    RewriteRule ^ %1%2 [R=301,NE,L]\n"
            "</VirtualHost>\n\n"_s.arg(site.httpsUrl(), u"%1"_s);
    text += virtualHost(site.tlsListen) +
            u"    SSLEngine on\n    SSLCertificateFile %1\n    SSLCertificateKeyFile %2\n"_s.arg(
                site.certificate, site.key);
    return text + siteBody(site) + u"</VirtualHost>\n"_s;
}

} // namespace ApacheConfig
