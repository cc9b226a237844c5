// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SiteProfile.h"
#include "SqlScript.h"

#include <QString>
#include <QStringView>
#include <optional>

class RandomSource;

// A profile as a web application's own settings, each value quoted so that the application's
// parser reads back exactly the profile's text.
namespace AppConfig {

enum class Format {
    Laravel,   // .env lines, as phpdotenv 5 reads them
    WordPress, // a whole wp-config.php: the database, fresh keys and salts, WordPress's start
    Php,       // a PHP file returning the connection array
};

inline constexpr QStringView defaultDbHost = u"localhost";

// "laravel", "wordpress" or "php".
std::optional<Format> formatNamed(QStringView name);

// 3306 for MariaDB and MySQL, 5432 for PostgreSQL.
int defaultPort(SqlScript::Dialect engine);

// The alphabet of WordPress's own secret-key service, and the length of each key.
inline constexpr QStringView wordPressKeyAlphabet =
    u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!@#$%^&*()-_ []{}<>~`+=,.;:/?|";
inline constexpr int wordPressKeyLength = 64;

// What in `text` no .env quoting gives phpdotenv 5 and Symfony's Dotenv 5 alike, or an empty
// string. Only text with a "'" can conflict: it needs double quotes, where Symfony reads "\n",
// "\r" and '\"' before it undoes "\\", keeps the backslash of an escaped "$(" whose
// parenthesis does not close, and swallows a later "$" into a "${NAME:-default}".
QString dotenvConflict(QStringView text);
// The same for text in double quotes whether or not it holds a "'": what stands between the two
// parsers reading it alike, or an empty string.
QString doubleQuotedConflict(QStringView text);
// A .env value both parsers read literally, for text without a conflict: single quotes when it
// has no "'" (and a trailing '#"' comment when it holds '="', which phpdotenv's line reader would
// otherwise take for the start of a multi-line value), otherwise double quotes escaping "\", '"'
// and "$".
QString dotenvValue(const QString &text);
// A PHP single-quoted string: "\" and "'" escaped.
QString phpString(const QString &text);

// The settings text. The names are checked as the sql command checks them, so that they are the
// ones it made. Throws SitepassError (EngineUnsupported for WordPress on PostgreSQL,
// ValueUnquotable for a .env value with a conflict, or a name refusal). The WordPress keys come
// from `random`.
QString build(Format format, const SiteTexts &profile, SqlScript::Dialect engine,
              const QString &dbHost, RandomSource &random);

} // namespace AppConfig
