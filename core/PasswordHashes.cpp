// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PasswordHashes.h"

#include <QCryptographicHash>
#include <QList>
#include <QMessageAuthenticationCode>
#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace PasswordHashes {

QString mysqlNative(const QString &password)
{
    const QByteArray once = QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1);
    const QByteArray twice = QCryptographicHash::hash(once, QCryptographicHash::Sha1);
    return u'*' + QString::fromLatin1(twice.toHex().toUpper());
}

namespace {
using Range = std::pair<char32_t, char32_t>;

bool inRanges(char32_t c, std::initializer_list<Range> ranges)
{
    return std::any_of(ranges.begin(), ranges.end(),
                       [c](const Range &r) { return c >= r.first && c <= r.second; });
}

// RFC 3454 C.1.2: spaces other than U+0020.
bool isNonAsciiSpace(char32_t c)
{
    return inRanges(c, {{0x00A0, 0x00A0},
                        {0x1680, 0x1680},
                        {0x2000, 0x200B},
                        {0x202F, 0x202F},
                        {0x205F, 0x205F},
                        {0x3000, 0x3000}});
}

// RFC 3454 B.1: characters that are dropped.
bool isMappedToNothing(char32_t c)
{
    return inRanges(c, {{0x00AD, 0x00AD},
                        {0x034F, 0x034F},
                        {0x1806, 0x1806},
                        {0x180B, 0x180D},
                        {0x200B, 0x200D},
                        {0x2060, 0x2060},
                        {0xFE00, 0xFE0F},
                        {0xFEFF, 0xFEFF}});
}

// RFC 4013 2.3 (RFC 3454 C.1.2 to C.9) and A.1: what SASLprep output may not hold. A code point
// unassigned in Unicode 3.2, the version the RFCs are bound to, is prohibited as well.
bool isProhibited(char32_t c)
{
    if (isNonAsciiSpace(c))
        return true;
    if ((c & 0xFFFE) == 0xFFFE) // the last two code points of every plane (C.4)
        return true;
    const QChar::UnicodeVersion version = QChar::unicodeVersion(c);
    if (version == QChar::Unicode_Unassigned || version > QChar::Unicode_3_2)
        return true;
    return inRanges(c, {
                           {0x0000, 0x001F},   {0x007F, 0x009F},   {0x0340, 0x0341},
                           {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x180E, 0x180E},
                           {0x200C, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x2063},
                           {0x206A, 0x206F},   {0x2FF0, 0x2FFB},   {0xD800, 0xDFFF},
                           {0xE000, 0xF8FF},   {0xFDD0, 0xFDEF},   {0xFEFF, 0xFEFF},
                           {0xFFF9, 0xFFFD},   {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
                           {0xE0020, 0xE007F}, {0xF0000, 0xFFFFD}, {0x100000, 0x10FFFD},
                       });
}

bool isRightToLeft(char32_t c)
{
    const QChar::Direction d = QChar::direction(c);
    return d == QChar::DirR || d == QChar::DirAL;
}

// Mapping, NFKC, prohibited output and the bidirectional rule; empty when the rules refuse.
QString prepared(const QString &password)
{
    QString mapped;
    for (const char32_t c : password.toUcs4()) {
        if (isNonAsciiSpace(c))
            mapped += u' ';
        else if (!isMappedToNothing(c))
            mapped += QString::fromUcs4(&c, 1);
    }
    if (mapped.isEmpty())
        return {};
    const QString normalized = mapped.normalized(QString::NormalizationForm_KC);
    const QList<uint> units = normalized.toUcs4();
    bool rightToLeft = false, leftToRight = false;
    for (const char32_t c : units) {
        if (isProhibited(c))
            return {};
        rightToLeft = rightToLeft || isRightToLeft(c);
        leftToRight = leftToRight || QChar::direction(c) == QChar::DirL;
    }
    if (rightToLeft &&
        (leftToRight || !isRightToLeft(units.constFirst()) || !isRightToLeft(units.constLast())))
        return {};
    return normalized;
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
    const QString result = prepared(password);
    return result.isEmpty() ? bytes : result.toUtf8();
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
