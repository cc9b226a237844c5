// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Password.h"

#include "Caesar.h"
#include "RandomSource.h"
#include "SitepassError.h"
#include "TextServices.h"

#include <algorithm>
#include <cmath>

namespace Password {

namespace {
qsizetype checkedLength(double value, QStringView asTyped)
{
    const double whole = std::floor(value);
    if (whole > double(maxLength))
        throw SitepassError(SitepassError::Kind::LengthTooLarge, asTyped.toString(), maxLength);
    // NaN compares false and so draws nothing, like any length below 1.
    return whole >= 1 ? static_cast<qsizetype>(whole) : 0;
}
} // namespace

qsizetype lengthFromText(QStringView lengthText)
{
    const auto value = TextServices::tryTextToNumber(lengthText);
    if (!value)
        throw SitepassError(SitepassError::Kind::NotANumber, lengthText.toString(), maxLength);
    return checkedLength(*value, lengthText);
}

QString lengthCaption(QStringView text)
{
    return QStringLiteral("密码生成器 v1 ") + QStringLiteral(" 密码长度：") +
           QString::number(text.size());
}

QString draw(const CharacterPool &pool, qsizetype length, RandomSource &random)
{
    const qsizetype n = pool.size();
    // Written straight into a buffer big enough for the widest entries, then cut to size.
    QString password(length * pool.widestEntry(), Qt::Uninitialized);
    QChar *out = password.data();
    for (qsizetype i = 0; i < length; ++i) {
        // A source that broke its 0 <= r < 1 promise must still land inside the pool; an empty
        // pool lands on nothing, but the draw still takes its value.
        const qsizetype k = drawPosition(random.next(), n);
        const QStringView entry = pool.entry(std::min(std::max<qsizetype>(k, 1), n));
        std::copy(entry.begin(), entry.end(), out);
        out += entry.size();
    }
    password.truncate(out - password.constData());
    return password;
}

QString drawRotated(const CharacterPool &pool, qsizetype length, RandomSource &random)
{
    QString password = draw(pool, length, random);
    // Drawn even when nothing else was, so every run takes length + 1 values.
    const qsizetype offset = drawPosition(random.next(), pool.size());
    rotateLetters(password, double(offset));
    return password;
}

QString fromPool(const CharacterPool &pool, qsizetype length, RandomSource &random)
{
    random.reseed();
    return drawRotated(pool, length, random);
}

} // namespace Password

QString RandPass(const PasswordSettings &settings, RandomSource &random)
{
    const CharacterPool pool(settings);
    random.reseed();
    // Read after the reseed: a length that is no number stops the run before any draw.
    const qsizetype length = Password::lengthFromText(settings.lengthText);
    return Password::drawRotated(pool, length, random);
}

QString GeneratePassword(double length, RandomSource &random)
{
    static const CharacterPool alphabet = [] {
        CharacterPool pool;
        pool.append(CharacterPool::lowerCase);
        pool.append(CharacterPool::upperCase);
        pool.append(CharacterPool::digits);
        return pool;
    }();
    random.reseed();
    return Password::draw(alphabet, Password::checkedLength(length, QString::number(length)),
                          random);
}
