// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PhpFpmConfig.h"

using namespace Qt::StringLiterals;

namespace PhpFpmConfig {

QString build(const WebSite &site)
{
    return u"; PHP-FPM pool for %1, made by sitepass-cli.\n"
           "; Put it in /etc/php/VERSION/fpm/pool.d/ and reload php-fpm. Make the site's user, "
           "PHP's\n"
           "; folders and the log folder first: php-fpm stops every pool when one names a user or "
           "a\n"
           "; log it cannot have.\n"
           ";   adduser --system --group %3\n"
           ";   install -d -o %3 -g %3 -m 0700 %7 %8 %9\n"
           ";   install -d -m 0750 %10\n"
           "[%2]\n"
           "; The site's own user: another site's PHP cannot read its files, even by a shell "
           "command.\n"
           "user = %3\n"
           "listen = %4\n"
           "; Only the web server's user may connect.\n"
           "listen.owner = %5\n"
           "listen.mode = 0600\n"
           "pm = ondemand\n"
           "pm.max_children = 10\n"
           "pm.process_idle_timeout = 10s\n"
           "security.limit_extensions = .php\n"
           "; The site's own logs: slow requests (written by php-fpm as root, so in a folder the "
           "site\n"
           "; cannot write to) and PHP's errors (written by the site's user, in its own folder).\n"
           "slowlog = %11\n"
           "request_slowlog_timeout = 10s\n"
           "request_terminate_timeout = 300s\n"
           "php_admin_flag[log_errors] = on\n"
           "php_admin_value[error_log] = %9/error.log\n"
           "; Uploads as large as the web server lets through.\n"
           "php_admin_value[upload_max_filesize] = %12M\n"
           "php_admin_value[post_max_size] = %12M\n"
           "; Temporary files, uploads and sessions in the site's own folders, not in /tmp and\n"
           "; /var/lib/php/sessions, which every site shares; PHP clears its old sessions itself.\n"
           "env[TMPDIR] = %7\n"
           "php_admin_value[sys_temp_dir] = %7\n"
           "php_admin_value[upload_tmp_dir] = %7\n"
           "php_admin_value[session.save_path] = %8\n"
           "php_admin_value[session.gc_probability] = 1\n"
           "; Every pool of this php-fpm shares one script cache: a script is served from it only "
           "to "
           "a\n"
           "; user who may read its file; its API, which lists and clears every site's scripts, "
           "is\n"
           "; for no script (no path starts with /dev/null/); a changed file (a new password) is "
           "seen\n"
           "; on the next request.\n"
           "php_admin_flag[opcache.validate_permission] = on\n"
           "php_admin_value[opcache.restrict_api] = /dev/null/\n"
           "php_admin_value[opcache.revalidate_freq] = 0\n"
           "; Set here, where the site's own .user.ini cannot undo it. It holds PHP's file "
           "functions\n"
           "; to the site root; shell commands are held by the user and the folders' modes.\n"
           "php_admin_value[open_basedir] = %6/\n"_s
               .arg(site.host, site.pool, site.phpUser, site.socket, site.webUser, site.siteRoot,
                    site.phpTempFolder(), site.phpSessionFolder(), site.phpLogFolder())
               .arg(site.logFolder, site.log(u"slow"), site.maxUploadMb);
}

} // namespace PhpFpmConfig
