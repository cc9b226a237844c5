// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PasswordHashes.h"

#include "Stringprep.h"

#include <QCryptographicHash>
#include <QList>
#include <QMessageAuthenticationCode>
#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace PasswordHashes {

QString mysqlNative(const QString &password)
{
    const QByteArray once = QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1);
    const QByteArray twice = QCryptographicHash::hash(once, QCryptographicHash::Sha1);
    return u'*' + QString::fromLatin1(twice.toHex().toUpper());
}

namespace {
// PostgreSQL's order (src/common/saslprep.c, run by the server and by libpq at every login):
// map, then check the mapped string against the prohibited, unassigned and bidi tables, and
// only then normalise. Nothing when the checks fail: both sides then use the raw password.
std::optional<QString> prepared(const QString &password)
{
    QList<char32_t> mapped;
    for (const char32_t c : password.toUcs4()) {
        if (Stringprep::isNonAsciiSpace(c))
            mapped.append(U' ');
        else if (!Stringprep::isMappedToNothing(c))
            mapped.append(c);
    }
    if (mapped.isEmpty())
        return std::nullopt;
    bool rightToLeft = false, leftToRight = false;
    for (const char32_t c : mapped) {
        if (Stringprep::isProhibited(c) || Stringprep::isUnassigned(c))
            return std::nullopt;
        rightToLeft = rightToLeft || Stringprep::isRandAL(c);
        leftToRight = leftToRight || Stringprep::isLeftToRight(c);
    }
    if (rightToLeft && (leftToRight || !Stringprep::isRandAL(mapped.constFirst()) ||
                        !Stringprep::isRandAL(mapped.constLast())))
        return std::nullopt;
    return QString::fromUcs4(mapped.constData(), mapped.size())
        .normalized(QString::NormalizationForm_KC);
}

QByteArray hmac(const QByteArray &key, const QByteArray &message)
{
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}
} // namespace

QByteArray saslPrep(const QString &password)
{
    const QByteArray bytes = password.toUtf8();
    // Plain ASCII is used as it is, control characters included.
    if (std::all_of(bytes.cbegin(), bytes.cend(), [](char b) { return (b & 0x80) == 0; }))
        return bytes;
    const std::optional<QString> result = prepared(password);
    return result ? result->toUtf8() : bytes;
}

QString scramSha256(const QString &password, const QByteArray &salt, int iterations)
{
    // PBKDF2-HMAC-SHA-256 with one block: its output is exactly the 32 bytes SCRAM needs.
    const QByteArray key = saslPrep(password);
    QByteArray u = hmac(key, salt + QByteArray("\0\0\0\1", 4));
    QByteArray salted = u;
    for (int i = 1; i < iterations; ++i) {
        u = hmac(key, u);
        for (qsizetype k = 0; k < salted.size(); ++k)
            salted[k] = char(salted[k] ^ u[k]);
    }
    const QByteArray clientKey = hmac(salted, "Client Key");
    const QByteArray storedKey = QCryptographicHash::hash(clientKey, QCryptographicHash::Sha256);
    const QByteArray serverKey = hmac(salted, "Server Key");
    return u"SCRAM-SHA-256$%1:%2$%3:%4"_s.arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(storedKey.toBase64()),
             QString::fromLatin1(serverKey.toBase64()));
}

} // namespace PasswordHashes
