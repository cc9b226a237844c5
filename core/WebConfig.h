// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SiteProfile.h"
#include "WebSite.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// A profile as the web server's part of the site: the PHP-FPM pool, the nginx server block and
// the Apache VirtualHost, for one set of settings. Every value that reaches a file is checked
// first, since a server's configuration has no quoting that all of them share.
namespace WebConfig {

enum class Format {
    PhpFpm, // the site's pool
    Nginx,  // the server block (two with TLS)
    Apache, // the VirtualHost (two with TLS), Apache 2.4 with proxy_fcgi
};

inline constexpr QStringView defaultWebUser = u"www-data";
inline constexpr QStringView defaultSiteRootFolder = u"/var/www";
inline constexpr QStringView defaultSocketFolder = u"/run/php";
inline constexpr QStringView defaultTlsPort = u"443";
// Uploads and request bodies, in MB: the pool and the web server take the same size.
inline constexpr QStringView defaultMaxUpload = u"64";
inline constexpr int maxUploadLimit = 2047; // Apache's LimitRequestBody stops below 2 GB
// Each server's own log folder on Debian, for the site's logs (the pool's slow log included).
inline constexpr QStringView defaultNginxLogFolder = u"/var/log/nginx";
inline constexpr QStringView defaultApacheLogFolder = u"${APACHE_LOG_DIR}";
inline constexpr QStringView defaultPhpFpmLogFolder = u"/var/log/php-fpm";

// "php-fpm", "nginx" or "apache".
std::optional<Format> formatNamed(QStringView name);

// What the profile does not say. Empty texts take the defaults.
struct Settings
{
    QString siteRoot;  // default: /var/www/<site directory>
    QString runDir;    // the served folder under siteRoot; default: siteRoot itself
    QString phpSocket; // default: /run/php/<site directory>.sock
    QString phpUser;   // default: the site's own user, poolUser()
    QString webUser = defaultWebUser.toString();
    QString listenAddress;  // default: every address
    QStringList adminAllow; // addresses or networks; none: the admin path is open
    QString tlsCertificate; // with tlsKey: HTTPS, and plain HTTP redirects
    QString tlsKey;
    QString tlsPort = defaultTlsPort.toString();
    QString maxUpload = defaultMaxUpload.toString();
    QString logDir; // default: the server's own, above
};

// The site name as servers take it: a non-ASCII name in punycode, lower case. Throws
// SitepassError (WebValueInvalid, "site_name") for anything that is not a host name.
QString hostName(const QString &siteName);

// The site's own user that its pool runs as by default: "site-" and the host name with "_" for
// ".", cut to 32 characters with a hash of the whole name where longer, so that no two sites
// share one.
QString poolUser(const QString &host);

// The users a pool names (its own, then the socket's owner), for a check that they exist.
QStringList poolUsers(const SiteTexts &profile, const Settings &settings);
// The folder a format writes the site's logs to (root's, as the servers' masters open them).
QString logFolder(Format format, const Settings &settings);

// The site as a format writes it, every value checked (its paths, users and names).
WebSite checkedSite(Format format, const SiteTexts &profile, const Settings &settings);

// The file's text. Throws SitepassError (WebValueInvalid) naming the field or option whose value
// no server should be given; detail() is the value.
QString build(Format format, const SiteTexts &profile, const Settings &settings);

// The checks of the options, for the command line to run before it reads a profile.
void checkSettings(const Settings &settings);
// A plain POSIX user or group name, and none that php-fpm's reader takes for a boolean; the
// field is named in the error.
void checkUserName(const QString &field, const QString &name);

} // namespace WebConfig
