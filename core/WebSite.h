// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// One site's web settings, every value checked: what the pool, the server block and the
// VirtualHost are written from.
struct WebSite
{
    QString host;                      // punycode, lower case
    QString port;                      // plain HTTP
    QString pool;                      // the pool's section name
    QString phpUser;                   // the pool's user
    QString webUser;                   // the web server's user, the socket's owner
    QString siteRoot;                  // PHP's open_basedir
    QString docRoot;                   // what is served
    QString socket;                    // the pool's socket
    QString listen;                    // [address:]port
    QString tlsListen;                 // [address:]port, with TLS
    QString adminPath;                 // empty where the admin path is open
    QStringList allow;                 // who reaches the admin path
    QString certificate, key, tlsPort; // certificate empty: no TLS
    QString maxUploadMb;               // the largest request body and upload
    QString logFolder;                 // where the server writes the site's logs

    // PHP's temporary files and sessions, apart from every other site's.
    QString phpTempFolder() const { return siteRoot + QStringLiteral("/.php/tmp"); }
    QString phpSessionFolder() const { return siteRoot + QStringLiteral("/.php/sessions"); }
    // PHP's error log is written by the site's user, so it is in the site's own folder.
    QString phpLogFolder() const { return siteRoot + QStringLiteral("/.php/log"); }
    // One of the site's own logs: "access", "error", "slow".
    QString log(QStringView kind) const
    {
        return logFolder + u'/' + host + u'.' + kind.toString() + QStringLiteral(".log");
    }
    // The admin path as a folder (no trailing "/"), for paths that are not one script.
    QString adminFolder() const
    {
        return adminPath.endsWith(u'/') ? adminPath.chopped(1) : adminPath;
    }
    bool adminIsScript() const { return adminPath.endsWith(QStringLiteral(".php")); }
    // WordPress's admin folder: its login script is guarded with it, while what every visitor's
    // browser loads from it (front-end AJAX, the login page's styles) stays open.
    bool adminIsWordPress() const { return adminFolder() == QStringLiteral("/wp-admin"); }
    QString httpsUrl() const
    {
        return QStringLiteral("https://") + host + (tlsPort == u"443" ? QString() : u':' + tlsPort);
    }
    // The host name and the admin folder as regular expressions: their dots escaped (nothing
    // else the checks let into them is special).
    QString hostPattern() const { return QString(host).replace(u'.', QStringLiteral("\\.")); }
    QString adminPattern() const { return adminFolder().replace(u'.', QStringLiteral("\\.")); }
};
