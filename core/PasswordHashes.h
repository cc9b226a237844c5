// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The forms in which database servers store a password, computed here so that a script need not
// carry the password itself (only the mysql dialect does, for servers without the native hash).
namespace PasswordHashes {

// MariaDB's mysql_native_password hash: "*" and the upper-case hex of SHA1(SHA1(UTF-8 bytes)).
QString mysqlNative(const QString &password);

// The password as PostgreSQL prepares it for SCRAM (RFC 4013 SASLprep, as its server and libpq
// apply it): mapped, checked against RFC 3454's Unicode 3.2 tables, then NFKC-normalised. Where
// the checks refuse it, both sides use the password unchanged, and so does this.
QByteArray saslPrep(const QString &password);

inline constexpr int scramIterations = 4096;

// A PostgreSQL SCRAM-SHA-256 verifier:
// SCRAM-SHA-256$<iterations>:<salt>$<StoredKey>:<ServerKey>, all base64.
QString scramSha256(const QString &password, const QByteArray &salt,
                    int iterations = scramIterations);

} // namespace PasswordHashes
