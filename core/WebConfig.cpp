// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebConfig.h"

#include "ApacheConfig.h"
#include "NginxConfig.h"
#include "PhpFpmConfig.h"
#include "SitepassError.h"
#include "TextServices.h"

#include <QCryptographicHash>
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

// Paths the servers and PHP can open: PATH_MAX (4096 bytes) less room for what they add under
// them (PHP's session files, the pool's folders), NAME_MAX for each part, and a socket's path
// within sun_path's 108 bytes and its NUL.
constexpr qsizetype maxPathBytes = 3900;
constexpr qsizetype maxPartBytes = 255;
constexpr qsizetype maxSocketBytes = 107;

// No part of a path is "." or "..", and nothing in it means anything to a server's syntax:
// nginx has no escape for "$", Apache reads "${}", "<>" and wildcards, php-fpm's reader ";",
// "$", the operators "&|^~!()" and "=", and open_basedir's list ":".
bool isPlainPath(QStringView path)
{
    if (path.isEmpty() || path.toUtf8().size() > maxPathBytes)
        return false;
    for (QChar c : path)
        if (c.isSpace() || c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0) ||
            c.isSurrogate() || QStringView(u"'\"`;{}$#\\<>*?[]%&|^~!()=:").contains(c))
            return false;
    for (QStringView part : path.split(u'/'))
        if (part == u"." || part == u".." || part.toUtf8().size() > maxPartBytes)
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
    QString siteRoot, socket, listenAddress, certificate, key, tlsPort, maxUpload, logDir;
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
    if (!s.phpUser.isEmpty())
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
    if (!isDigits(s.maxUpload, 4) || s.maxUpload.toInt() < 1 ||
        s.maxUpload.toInt() > maxUploadLimit)
        refuse(u"--max-upload"_s, s.maxUpload);
    c.maxUpload = QString::number(s.maxUpload.toInt());
    if (!s.logDir.isEmpty())
        c.logDir = checkedAbsolutePath(u"--log-dir"_s, s.logDir);
    return c;
}

bool isAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() > 0x7F)
            return false;
    return true;
}

WebSite site(const SiteTexts &profile, const Settings &s)
{
    const CheckedSettings c = checked(s);
    WebSite site;
    site.host = hostName(profile.siteName);
    site.port = checkedPort(u"site_port"_s, profile.sitePort);
    // The profile's directory names default paths only for an ASCII name: upper case folds
    // others together ("straße" and "strasse" both give STRASSE).
    const QString directory = SiteProfile::siteDirectory(profile.siteName);
    const bool plainDirectory = isAscii(profile.siteName) && isPlainFolderName(directory);
    if ((c.siteRoot.isEmpty() || c.socket.isEmpty()) && !plainDirectory)
        refuse(u"site_directory"_s, directory);
    // The pool's name is not a path: a non-ASCII name's directory gives way to its punycode's.
    site.pool = SiteProfile::siteDirectory(site.host);
    site.phpUser = s.phpUser.isEmpty() ? poolUser(site.host) : s.phpUser;
    site.webUser = s.webUser;
    site.siteRoot =
        c.siteRoot.isEmpty() ? defaultSiteRootFolder.toString() + u'/' + directory : c.siteRoot;
    site.docRoot = s.runDir.isEmpty() ? site.siteRoot : site.siteRoot + u'/' + s.runDir;
    if (site.docRoot.endsWith(u'/'))
        site.docRoot.chop(1);
    if (site.docRoot.toUtf8().size() > maxPathBytes)
        refuse(u"--run-dir"_s, s.runDir);
    site.socket = c.socket.isEmpty()
                      ? defaultSocketFolder.toString() + u'/' + directory + u".sock"_s
                      : c.socket;
    if (site.socket.toUtf8().size() > maxSocketBytes)
        refuse(u"--php-socket"_s, site.socket);
    const auto listenOn = [&](const QString &port) {
        if (c.listenAddress.isEmpty())
            return port;
        const QString &address = c.listenAddress;
        return (address.contains(u':') ? u'[' + address + u']' : address) + u':' + port;
    };
    site.listen = listenOn(site.port);
    site.allow = c.allow;
    site.maxUploadMb = c.maxUpload;
    if (!site.allow.isEmpty()) {
        site.adminPath = profile.adminPath;
        bool plain = site.adminPath.startsWith(u'/') && isPlainPath(site.adminPath) &&
                     !site.adminPath.contains(u"//"_s) && site.adminPath != u"/";
        for (QChar ch : site.adminPath)
            plain = plain && (isAsciiAlnum(ch) || QStringView(u"-._/").contains(ch));
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

QString poolUser(const QString &host)
{
    QString name = u"site-"_s + QString(host).replace(u'.', u'_');
    if (name.size() > 32)
        name = name.left(23) + u'-' +
               QString::fromLatin1(
                   QCryptographicHash::hash(host.toUtf8(), QCryptographicHash::Sha256).toHex())
                   .left(8);
    return name;
}

QStringList poolUsers(const SiteTexts &profile, const Settings &settings)
{
    const WebSite checked = site(profile, settings);
    return {checked.phpUser, checked.webUser};
}

QString logFolder(Format format, const Settings &settings)
{
    const QString given = checked(settings).logDir;
    if (!given.isEmpty())
        return given;
    switch (format) {
    case Format::PhpFpm:
        return defaultPhpFpmLogFolder.toString();
    case Format::Nginx:
        return defaultNginxLogFolder.toString();
    case Format::Apache:
        return defaultApacheLogFolder.toString();
    }
    Q_UNREACHABLE();
}

void checkUserName(const QString &field, const QString &name)
{
    bool plain =
        !name.isEmpty() && name.size() <= 32 && !name.startsWith(u'-') && !name.front().isDigit();
    for (QChar c : name)
        plain = plain && (isAsciiAlnum(c) || c == u'_' || c == u'-' || c == u'.');
    // php-fpm's reader turns these into "1" or "" whatever the quoting.
    static const QStringList booleans = {u"yes"_s,  u"on"_s,  u"true"_s, u"none"_s,
                                         u"null"_s, u"off"_s, u"no"_s,   u"false"_s};
    if (!plain || booleans.contains(name, Qt::CaseInsensitive))
        refuse(field, name);
}

void checkSettings(const Settings &s)
{
    checked(s);
}

WebSite checkedSite(Format format, const SiteTexts &profile, const Settings &settings)
{
    WebSite checked = site(profile, settings);
    checked.logFolder = logFolder(format, settings);
    return checked;
}

QString build(Format format, const SiteTexts &profile, const Settings &settings)
{
    const WebSite checked = checkedSite(format, profile, settings);
    switch (format) {
    case Format::PhpFpm:
        // php-fpm's own section, whatever its case.
        if (checked.pool.compare(u"global"_s, Qt::CaseInsensitive) == 0)
            refuse(u"pool"_s, checked.pool);
        return PhpFpmConfig::build(checked);
    case Format::Nginx:
        return NginxConfig::build(checked);
    case Format::Apache:
        return ApacheConfig::build(checked);
    }
    Q_UNREACHABLE();
}

} // namespace WebConfig
