// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebConfig.h"

#include "SitepassError.h"
#include "TextServices.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace WebConfig {

namespace {
[[noreturn]] void refuse(const QString &field, const QString &value)
{
    throw SitepassError(SitepassError::Kind::WebValueInvalid, field, 0, value.left(80));
}

bool isAsciiAlnum(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool isDigits(QStringView text, qsizetype most)
{
    bool digits = !text.isEmpty() && text.size() <= most;
    for (QChar c : text)
        digits = digits && c >= u'0' && c <= u'9';
    return digits;
}

QString checkedPort(const QString &field, const QString &text)
{
    const auto port = TextServices::portNumber(text);
    if (!port)
        refuse(field, text);
    return QString::number(*port);
}

// No part of a path is "." or "..", and nothing in it means anything to a server's syntax:
// nginx has no escape for "$", Apache reads "${}", "<>" and wildcards, php-fpm ";" and "$".
bool isPlainPath(QStringView path)
{
    if (path.isEmpty())
        return false;
    for (QChar c : path)
        if (c.isSpace() || c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0) ||
            c.isSurrogate() || QStringView(u"'\"`;{}$#\\<>*?[]%").contains(c))
            return false;
    for (QStringView part : path.split(u'/'))
        if (part == u"." || part == u"..")
            return false;
    return true;
}

QString checkedAbsolutePath(const QString &field, const QString &path)
{
    if (!path.startsWith(u'/') || !isPlainPath(path) || path.contains(u"//"_s) || path == u"/")
        refuse(field, path);
    return path.endsWith(u'/') ? path.chopped(1) : path;
}

bool isPlainFolderName(const QString &name)
{
    bool plain = !name.isEmpty() && name.size() <= 64 && name != u"." && name != u".." &&
                 !name.startsWith(u'-');
    for (QChar c : name)
        plain = plain && (isAsciiAlnum(c) || c == u'_' || c == u'.' || c == u'-');
    return plain;
}

// Dotted-quad IPv4 in four decimal parts, as both servers read it: nothing shorter, no octal.
bool isIpv4(QStringView text)
{
    const auto parts = text.split(u'.');
    if (parts.size() != 4)
        return false;
    for (QStringView part : parts)
        if (!isDigits(part, 3) || (part.size() > 1 && part[0] == u'0') || part.toInt() > 255)
            return false;
    return true;
}

// An IPv4 or IPv6 address in its usual form (IPv6 compressed, lower case), or empty. Qt's URL
// parser checks IPv6 literals strictly; a zone ("%eth0") means nothing to a listen directive.
QString canonicalAddress(const QString &text)
{
    if (isIpv4(text))
        return text;
    if (!text.contains(u':') || text.contains(u'%') || text.contains(u'['))
        return {};
    const QUrl url(u"http://["_s + text + u"]/"_s, QUrl::StrictMode);
    const QString host = url.isValid() ? url.host() : QString();
    return host.contains(u':') ? host : QString();
}

QString checkedAddress(const QString &field, const QString &text)
{
    const QString address = canonicalAddress(text);
    if (address.isEmpty())
        refuse(field, text);
    return address;
}

QString checkedNetwork(const QString &field, const QString &text)
{
    const qsizetype slash = text.indexOf(u'/');
    if (slash < 0)
        return checkedAddress(field, text);
    const QString address = canonicalAddress(text.left(slash));
    const QStringView prefix = QStringView(text).mid(slash + 1);
    if (address.isEmpty() || !isDigits(prefix, 3) ||
        prefix.toInt() > (address.contains(u':') ? 128 : 32))
        refuse(field, text);
    return address + u'/' + prefix.toString();
}

// The settings as the files take them, every one checked: empty where a default applies.
struct CheckedSettings
{
    QString siteRoot, socket, listenAddress, certificate, key, tlsPort;
    QStringList allow;
};

CheckedSettings checked(const Settings &s)
{
    CheckedSettings c;
    if (!s.siteRoot.isEmpty())
        c.siteRoot = checkedAbsolutePath(u"--site-root"_s, s.siteRoot);
    if (!s.runDir.isEmpty() &&
        (s.runDir.startsWith(u'/') || !isPlainPath(s.runDir) || s.runDir.contains(u"//"_s)))
        refuse(u"--run-dir"_s, s.runDir);
    if (!s.phpSocket.isEmpty())
        c.socket = checkedAbsolutePath(u"--php-socket"_s, s.phpSocket);
    checkUserName(u"--php-user"_s, s.phpUser);
    checkUserName(u"--web-user"_s, s.webUser);
    if (!s.listenAddress.isEmpty())
        c.listenAddress = checkedAddress(u"--listen-address"_s, s.listenAddress);
    for (const QString &network : s.adminAllow)
        c.allow << checkedNetwork(u"--admin-allow"_s, network);
    if (!s.tlsCertificate.isEmpty())
        c.certificate = checkedAbsolutePath(u"--tls-certificate"_s, s.tlsCertificate);
    if (!s.tlsKey.isEmpty())
        c.key = checkedAbsolutePath(u"--tls-key"_s, s.tlsKey);
    c.tlsPort = checkedPort(u"--tls-port"_s, s.tlsPort);
    return c;
}

// Everything a file needs, checked once.
struct Site
{
    QString host, port, pool, siteRoot, docRoot, socket, listen, tlsListen, adminPath;
    QStringList allow;
    QString certificate, key, tlsPort; // certificate empty: no TLS
};

Site site(const SiteTexts &profile, const Settings &s)
{
    const CheckedSettings c = checked(s);
    Site site;
    site.host = hostName(profile.siteName);
    site.port = checkedPort(u"site_port"_s, profile.sitePort);
    const QString directory = SiteProfile::siteDirectory(profile.siteName);
    const bool plainDirectory = isPlainFolderName(directory);
    if ((c.siteRoot.isEmpty() || c.socket.isEmpty()) && !plainDirectory)
        refuse(u"site_directory"_s, directory);
    // The pool's name is not a path: a non-ASCII name's directory gives way to its punycode's.
    site.pool = plainDirectory ? directory : SiteProfile::siteDirectory(site.host);
    site.siteRoot =
        c.siteRoot.isEmpty() ? defaultSiteRootFolder.toString() + u'/' + directory : c.siteRoot;
    site.docRoot = s.runDir.isEmpty() ? site.siteRoot : site.siteRoot + u'/' + s.runDir;
    if (site.docRoot.endsWith(u'/'))
        site.docRoot.chop(1);
    site.socket = c.socket.isEmpty()
                      ? defaultSocketFolder.toString() + u'/' + directory + u".sock"_s
                      : c.socket;
    const auto listenOn = [&](const QString &port) {
        if (c.listenAddress.isEmpty())
            return port;
        const QString &address = c.listenAddress;
        return (address.contains(u':') ? u'[' + address + u']' : address) + u':' + port;
    };
    site.listen = listenOn(site.port);
    site.allow = c.allow;
    if (!site.allow.isEmpty()) {
        site.adminPath = profile.adminPath;
        bool plain = site.adminPath.startsWith(u'/') && isPlainPath(site.adminPath) &&
                     !site.adminPath.contains(u"//"_s);
        for (QChar ch : site.adminPath)
            plain = plain && (isAsciiAlnum(ch) || QStringView(u"-._~/").contains(ch));
        if (!plain)
            refuse(u"admin_path"_s, site.adminPath);
    }
    if (!c.certificate.isEmpty()) {
        site.certificate = c.certificate;
        site.key = c.key;
        site.tlsPort = c.tlsPort;
        site.tlsListen = listenOn(site.tlsPort);
    }
    return site;
}

QString httpsUrl(const Site &site)
{
    return u"https://"_s + site.host + (site.tlsPort == u"443" ? QString() : u':' + site.tlsPort);
}

QString phpFpm(const Site &site, const Settings &s)
{
    return u"; PHP-FPM pool for %1, made by sitepass-cli.\n"
           "; Put it in /etc/php/VERSION/fpm/pool.d/ and reload php-fpm.\n"
           "[%2]\n"
           "user = %3\n"
           "listen = %4\n"
           "; Only the web server's user may connect.\n"
           "listen.owner = %5\n"
           "listen.mode = 0600\n"
           "pm = ondemand\n"
           "pm.max_children = 10\n"
           "pm.process_idle_timeout = 10s\n"
           "security.limit_extensions = .php\n"
           "; Set here, where the site's own .user.ini cannot undo it.\n"
           "php_admin_value[open_basedir] = %6/:/tmp/\n"_s.arg(
               site.host, site.pool, s.phpUser, site.socket, s.webUser, site.siteRoot);
}

// PHP for scripts that exist, with every parameter written out: Debian's fastcgi_params lacks
// SCRIPT_FILENAME, and other layouts keep their copies elsewhere.
QString nginxPhp(const Site &site, const QString &indent)
{
    static const char *const params[][2] = {
        {"SCRIPT_FILENAME", "$document_root$fastcgi_script_name"},
        {"SCRIPT_NAME", "$fastcgi_script_name"},
        {"QUERY_STRING", "$query_string"},
        {"REQUEST_METHOD", "$request_method"},
        {"CONTENT_TYPE", "$content_type"},
        {"CONTENT_LENGTH", "$content_length"},
        {"REQUEST_URI", "$request_uri"},
        {"DOCUMENT_URI", "$document_uri"},
        {"DOCUMENT_ROOT", "$document_root"},
        {"SERVER_PROTOCOL", "$server_protocol"},
        {"REQUEST_SCHEME", "$scheme"},
        {"HTTPS", "$https if_not_empty"},
        {"GATEWAY_INTERFACE", "CGI/1.1"},
        {"SERVER_SOFTWARE", "nginx"},
        {"REMOTE_ADDR", "$remote_addr"},
        {"REMOTE_PORT", "$remote_port"},
        {"SERVER_ADDR", "$server_addr"},
        {"SERVER_PORT", "$server_port"},
        {"SERVER_NAME", "$server_name"},
        {"REDIRECT_STATUS", "200"},
        {"HTTP_PROXY", "\"\""},
    };
    QString text = indent + u"try_files $uri =404;\n"_s + indent +
                   u"fastcgi_pass unix:%1;\n"_s.arg(site.socket);
    for (const auto &[name, value] : params)
        text += indent +
                u"fastcgi_param %1 %2;\n"_s.arg(QLatin1String(name), -17).arg(QLatin1String(value));
    return text;
}

QString nginxHostGuard(const Site &site)
{
    return u"    # Another host name that reaches this block (it may be the port's default) is "
           "dropped.\n    if ($host != \"%1\") {\n        return 444;\n    }\n"_s.arg(site.host);
}

QString nginxListen(const QString &listen, const QString &suffix)
{
    if (listen.contains(u':'))
        return u"    listen %1%2;\n"_s.arg(listen, suffix);
    return u"    listen %1%2;\n    listen [::]:%1%2;\n"_s.arg(listen, suffix);
}

QString nginxSite(const Site &site)
{
    const QString dotfiles = u"location ~ /\\.(?!well-known/) {\n        deny all;\n    }\n"_s;
    QString text = u"    server_name %1;\n"_s.arg(site.host) + nginxHostGuard(site) +
                   u"    root %1;\n    index index.php index.html;\n\n"_s.arg(site.docRoot) +
                   u"    # Dotfiles and dot-folders (.env, .git/, .user.ini, .htaccess) are never "
                   "served; /.well-known/ is.\n    "_s +
                   dotfiles;
    const QString access = [&] {
        QString rules;
        for (const QString &network : site.allow)
            rules += u"        allow %1;\n"_s.arg(network);
        return rules + u"        deny all;\n"_s;
    }();
    const QString frontController = u"try_files $uri $uri/ /index.php$is_args$args;\n"_s;
    if (!site.allow.isEmpty()) {
        text += u"    # The admin path, from the allowed addresses only.\n"_s;
        if (site.adminPath.endsWith(u'/')) {
            text += u"    location ^~ %1 {\n"_s.arg(site.adminPath) + access + u"        "_s +
                    frontController + u"        "_s +
                    QString(dotfiles).replace(u"\n    "_s, u"\n        "_s) +
                    u"        location ~ \\.php$ {\n"_s + nginxPhp(site, u"            "_s) +
                    u"        }\n    }\n"_s;
        } else if (site.adminPath.endsWith(u".php"_s)) {
            text += u"    location = %1 {\n"_s.arg(site.adminPath) + access +
                    nginxPhp(site, u"        "_s) + u"    }\n"_s;
        } else {
            text += u"    location = %1 {\n"_s.arg(site.adminPath) + access + u"        "_s +
                    frontController + u"    }\n"_s;
        }
    }
    text += u"    location / {\n        "_s + frontController + u"    }\n"_s;
    text += u"    location ~ \\.php$ {\n"_s + nginxPhp(site, u"        "_s) + u"    }\n"_s;
    return text;
}

QString nginx(const Site &site)
{
    QString text = u"# nginx server block for %1, made by sitepass-cli.\n"
                   "# Put it in /etc/nginx/sites-available/, link it from sites-enabled/ and "
                   "reload nginx.\nserver {\n"_s.arg(site.host) +
                   nginxListen(site.listen, QString());
    if (site.certificate.isEmpty())
        return text + nginxSite(site) + u"}\n"_s;
    text +=
        u"    server_name %1;\n"_s.arg(site.host) + nginxHostGuard(site) +
        u"    # Certificate renewals are answered here, on plain HTTP; everything else moves "
        "to HTTPS.\n"
        "    location ^~ /.well-known/acme-challenge/ {\n"
        "        root %1;\n"
        "        try_files $uri =404;\n"
        "    }\n"
        "    location / {\n"
        "        return 301 %2$request_uri;\n"
        "    }\n"
        "}\n\n"
        "server {\n"_s.arg(site.docRoot, httpsUrl(site)) +
        nginxListen(site.tlsListen, u" ssl"_s) +
        u"    ssl_certificate %1;\n    ssl_certificate_key %2;\n"_s.arg(site.certificate, site.key);
    return text + nginxSite(site) + u"}\n"_s;
}

QString apacheHostGuard(const Site &site)
{
    QString pattern = site.host;
    pattern.replace(u'.', u"\\."_s);
    return u"    # Another host name that reaches this VirtualHost (it may be the port's default) "
           "is refused.\n    <If \"tolower(%{HTTP_HOST}) !~ /^%1(:[0-9]+)?$/\">\n"
           "        Require all denied\n    </If>\n"_s.arg(pattern);
}

QString apacheDirectory(const Site &site, bool php)
{
    return u"    <Directory %1>\n"
           "        Options -Indexes\n"
           "        AllowOverride None\n"
           "        Require all granted\n%2"
           "    </Directory>\n"_s.arg(site.docRoot,
                                      php ? u"        DirectoryIndex index.php index.html\n"
                                            "        FallbackResource /index.php\n"_s
                                          : QString());
}

QString apacheSite(const Site &site)
{
    QString text = u"    ServerName %1\n    DocumentRoot %2\n"_s.arg(site.host, site.docRoot) +
                   apacheDirectory(site, true) +
                   u"    # PHP runs in the site's pool, for scripts that exist.\n"
                   "    <FilesMatch \"\\.php$\">\n"
                   "        <If \"-f %{REQUEST_FILENAME}\">\n"
                   "            SetHandler \"proxy:unix:%1|fcgi://localhost\"\n"
                   "        </If>\n"
                   "    </FilesMatch>\n"_s.arg(site.socket);
    if (!site.allow.isEmpty())
        text +=
            u"    # The admin path, from the allowed addresses only.\n    <Location \"%1\">\n"
            "        Require ip %2\n    </Location>\n"_s.arg(site.adminPath, site.allow.join(u' '));
    return text + apacheHostGuard(site) +
           u"    # Dotfiles and dot-folders (.env, .git/, .user.ini, .htaccess) are never "
           "served; /.well-known/ is.\n"
           "    <LocationMatch \"/\\.(?!well-known/)\">\n"
           "        Require all denied\n"
           "    </LocationMatch>\n"_s;
}

QString apache(const Site &site)
{
    QString text =
        u"# Apache 2.4 VirtualHost for %1, made by sitepass-cli. Modules: proxy proxy_fcgi%2 "
        "(a2enmod proxy_fcgi%2); Listen %3%4 in ports.conf.\n"_s.arg(
            site.host, site.certificate.isEmpty() ? QString() : u" ssl"_s, site.port,
            site.certificate.isEmpty() ? QString() : u" and Listen "_s + site.tlsPort);
    text += u"<VirtualHost %1>\n"_s.arg(site.listen.contains(u':') ? site.listen
                                                                   : u"*:"_s + site.listen);
    if (site.certificate.isEmpty())
        return text + apacheSite(site) + u"</VirtualHost>\n"_s;
    text += u"    ServerName %1\n    DocumentRoot %2\n"_s.arg(site.host, site.docRoot) +
            apacheDirectory(site, false) + apacheHostGuard(site) +
            u"    # Certificate renewals are answered here, on plain HTTP; everything else moves "
            "to HTTPS.\n"
            "    RedirectMatch 301 ^/(?!\\.well-known/acme-challenge/)(.*)$ %1/$1\n"
            "</VirtualHost>\n\n"_s.arg(httpsUrl(site));
    text += u"<VirtualHost %1>\n"_s.arg(site.tlsListen.contains(u':') ? site.tlsListen
                                                                      : u"*:"_s + site.tlsListen) +
            u"    SSLEngine on\n    SSLCertificateFile %1\n    SSLCertificateKeyFile %2\n"_s.arg(
                site.certificate, site.key);
    return text + apacheSite(site) + u"</VirtualHost>\n"_s;
}
} // namespace

std::optional<Format> formatNamed(QStringView name)
{
    if (name == u"php-fpm")
        return Format::PhpFpm;
    if (name == u"nginx")
        return Format::Nginx;
    if (name == u"apache")
        return Format::Apache;
    return std::nullopt;
}

QString hostName(const QString &siteName)
{
    const QString ace = QString::fromLatin1(QUrl::toAce(siteName)).toLower();
    bool valid = !ace.isEmpty() && ace.size() <= 253;
    for (QStringView label : QStringView(ace).split(u'.')) {
        valid = valid && !label.isEmpty() && label.size() <= 63 && !label.startsWith(u'-') &&
                !label.endsWith(u'-');
        for (QChar c : label)
            valid = valid && (isAsciiAlnum(c) || c == u'-');
    }
    if (!valid)
        refuse(u"site_name"_s, siteName);
    return ace;
}

void checkUserName(const QString &field, const QString &name)
{
    bool plain =
        !name.isEmpty() && name.size() <= 32 && !name.startsWith(u'-') && !name.front().isDigit();
    for (QChar c : name)
        plain = plain && (isAsciiAlnum(c) || c == u'_' || c == u'-' || c == u'.');
    if (!plain)
        refuse(field, name);
}

void checkSettings(const Settings &s)
{
    checked(s);
}

QString build(Format format, const SiteTexts &profile, const Settings &settings)
{
    const Site checked = site(profile, settings);
    switch (format) {
    case Format::PhpFpm:
        return phpFpm(checked, settings);
    case Format::Nginx:
        return nginx(checked);
    case Format::Apache:
        return apache(checked);
    }
    Q_UNREACHABLE();
}

} // namespace WebConfig
