// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "NginxConfig.h"

using namespace Qt::StringLiterals;

namespace NginxConfig {

namespace {
// PHP for scripts that exist, with every parameter written out: Debian's fastcgi_params lacks
// SCRIPT_FILENAME, and other layouts keep their copies elsewhere.
QString php(const WebSite &site, const QString &indent)
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

// The request line's host and the Host header both: in an absolute-form request the two differ,
// and PHP reads the header.
QString hostGuard(const WebSite &site)
{
    return u"    # Another host name that reaches this block (it may be the port's default) is "
           "dropped,\n    # in the request line or the Host header, so PHP sees no other.\n"
           "    if ($host != \"%1\") {\n        return 444;\n    }\n"
           "    if ($http_host !~* \"^%2(:[0-9]+)?$\") {\n        return 444;\n    }\n"_s.arg(
               site.host, site.hostPattern());
}

QString listen(const QString &listen, const QString &suffix)
{
    if (listen.contains(u':'))
        return u"    listen %1%2;\n"_s.arg(listen, suffix);
    return u"    listen %1%2;\n"
           "    # nginx stops on a host without IPv6 here: drop the line or give "
           "--listen-address.\n"
           "    listen [::]:%1%2;\n"_s.arg(listen, suffix);
}

// The site's own logs, and request bodies as large as its pool takes uploads.
QString logsAndBodies(const WebSite &site)
{
    return u"    access_log %1;\n    error_log %2;\n    client_max_body_size %3m;\n"_s.arg(
        site.log(u"access"), site.log(u"error"), site.maxUploadMb);
}

const QString dotfiles = u"location ~ /\\.(?!well-known/) {\n    deny all;\n}\n"_s;
const QString frontController = u"try_files $uri $uri/ /index.php$is_args$args;\n"_s;

QString indented(const QString &text, const QString &indent)
{
    QString out;
    for (QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts))
        out += indent + line.toString() + u'\n';
    return out;
}

// What WordPress's admin folder serves to every visitor: front-end AJAX, the login page's
// styles, and the static files under it.
QString wordPressOpen(const WebSite &site)
{
    QString text;
    for (const QStringView script : {u"admin-ajax.php", u"load-styles.php"})
        text += u"        location = /wp-admin/%1 {\n            allow all;\n"_s.arg(script) +
                php(site, u"            "_s) + u"        }\n"_s;
    return text +
           u"        location ~ ^/wp-admin/(css|images|js)/.+\\.(css|js|map|png|gif|jpe?g|svg|webp|"
           "woff2?|ttf|eot)$ {\n"
           "            allow all;\n            try_files $uri =404;\n        }\n"_s;
}

QString adminLocations(const WebSite &site)
{
    QString access;
    for (const QString &network : site.allow)
        access += u"        allow %1;\n"_s.arg(network);
    access += u"        deny all;\n"_s;
    if (site.adminIsScript())
        return u"    # The admin path, from the allowed addresses only.\n    location = %1 {\n"_s
                   .arg(site.adminPath) +
               access + php(site, u"        "_s) + u"    }\n"_s;
    const QString folder = site.adminFolder();
    QString text;
    // XML-RPC takes the admin's password as the login page does: guessed from anywhere else.
    if (site.adminIsWordPress())
        for (const QStringView script : {u"wp-login.php", u"xmlrpc.php"})
            text +=
                u"    # WordPress's %1, from the allowed addresses only.\n    location = /%1 {\n"_s
                    .arg(script) +
                access + php(site, u"        "_s) + u"    }\n"_s;
    // ^~ keeps the regex locations below (PHP's among them) from taking what is under it.
    return text +
           u"    # The admin path, from the allowed addresses only: %1, what is under %1/, and "
           u"the\n"
           "    # same routes through the front controller (/index.php%1).\n"
           "    location = %1 {\n"_s.arg(folder) +
           access + u"        "_s + frontController +
           u"    }\n    location ^~ %1/ {\n"_s.arg(folder) + access + u"        "_s +
           frontController + indented(dotfiles, u"        "_s) +
           (site.adminIsWordPress() ? wordPressOpen(site) : QString()) +
           u"        location ~ \\.php$ {\n"_s + php(site, u"            "_s) +
           u"        }\n"
           "    }\n    location ~ ^/index\\.php%1(/|$) {\n"_s.arg(site.adminPattern()) +
           access + u"        try_files $uri /index.php$is_args$args;\n    }\n"_s;
}

QString siteBody(const WebSite &site)
{
    QString text = u"    server_name %1;\n"_s.arg(site.host) + logsAndBodies(site) +
                   hostGuard(site) +
                   u"    root %1;\n    index index.php index.html;\n"_s.arg(site.docRoot) +
                   u"    # Links are followed only where the link and its target have one owner,\n"
                   "    # from the site root on: the served folder itself may be the site's.\n"
                   "    disable_symlinks if_not_owner from=%1;\n\n"_s.arg(site.siteRoot) +
                   u"    # Dotfiles and dot-folders (.env, .git/, .user.ini, .htaccess) are never "
                   "served; /.well-known/ is.\n"_s +
                   indented(dotfiles, u"    "_s);
    if (!site.allow.isEmpty())
        text += adminLocations(site);
    text += u"    location / {\n        "_s + frontController + u"    }\n"_s;
    text += u"    location ~ \\.php$ {\n"_s + php(site, u"        "_s) + u"    }\n"_s;
    return text;
}
} // namespace

QString build(const WebSite &site)
{
    QString text = u"# nginx server block for %1, made by sitepass-cli.\n"
                   "# Put it in /etc/nginx/sites-available/, link it from sites-enabled/ and "
                   "reload nginx.\nserver {\n"_s.arg(site.host) +
                   listen(site.listen, QString());
    if (site.certificate.isEmpty())
        return text + siteBody(site) + u"}\n"_s;
    text +=
        u"    server_name %1;\n"_s.arg(site.host) + logsAndBodies(site) + hostGuard(site) +
        u"    # Certificate renewals are answered here, on plain HTTP; everything else moves "
        "to HTTPS.\n"
        "    location ^~ /.well-known/acme-challenge/ {\n"
        "        root %1;\n"
        "        disable_symlinks if_not_owner from=%3;\n"
        "        try_files $uri =404;\n"
        "    }\n"
        "    location / {\n"
        "        return 301 %2$request_uri;\n"
        "    }\n"
        "}\n\n"
        "server {\n"_s.arg(site.docRoot, site.httpsUrl(), site.siteRoot) +
        listen(site.tlsListen, u" ssl"_s) +
        u"    ssl_certificate %1;\n    ssl_certificate_key %2;\n"_s.arg(site.certificate, site.key);
    return text + siteBody(site) + u"}\n"_s;
}

} // namespace NginxConfig
