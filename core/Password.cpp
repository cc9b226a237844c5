// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Password.h"

#include "Caesar.h"
#include "RandomSource.h"
#include "SitepassError.h"
#include "TextServices.h"

#include <cmath>

namespace Password {

namespace {
qsizetype checkedLength(double value)
{
    const double whole = std::floor(value);
    if (whole > double(maxLength))
        throw SitepassError(SitepassError::Kind::LengthTooLarge,
                            QStringLiteral("“密码长度”最大为 %1，请填写较小的数。").arg(maxLength));
    // NaN compares false and so draws nothing, like any length below 1.
    return whole >= 1 ? static_cast<qsizetype>(whole) : 0;
}
} // namespace

qsizetype lengthFromText(QStringView lengthText)
{
    const auto value = TextServices::tryTextToNumber(lengthText);
    if (!value)
        throw SitepassError(
            SitepassError::Kind::NotANumber,
            QStringLiteral("“密码长度”需要填写一个数字（0 到 %1）。").arg(maxLength));
    return checkedLength(*value);
}

QString lengthCaption(QStringView text)
{
    return QStringLiteral("密码生成器 v1 ") + QStringLiteral(" 密码长度：") +
           QString::number(text.size());
}

QString draw(const CharacterPool &pool, qsizetype length, RandomSource &random)
{
    const qsizetype n = pool.size();
    if (n == 0) {
        // Every draw lands on nothing, but still takes its value.
        for (qsizetype i = 0; i < length; ++i)
            random.next();
        return {};
    }
    if (pool.singleUnits()) {
        // One code unit per draw: write straight into a buffer of the final size.
        QString password(length, Qt::Uninitialized);
        QChar *out = password.data();
        const QChar *units = pool.units();
        // A source that broke its 0 <= r < 1 promise must not read outside the pool.
        for (qsizetype i = 0; i < length; ++i)
            out[i] = units[qBound<qsizetype>(1, drawPosition(random.next(), n), n) - 1];
        return password;
    }
    QString password;
    password.reserve(length * 2);
    for (qsizetype i = 0; i < length; ++i)
        password.append(pool.entry(drawPosition(random.next(), n)));
    return password;
}

} // namespace Password

QString RandPass(const PasswordSettings &settings, RandomSource &random)
{
    const CharacterPool pool(settings);
    random.reseed();
    const qsizetype length = Password::lengthFromText(settings.lengthText);
    QString password = Password::draw(pool, length, random);
    // Drawn even when nothing else was, so every run takes length + 1 values.
    const qsizetype offset = Password::drawPosition(random.next(), pool.size());
    rotateLetters(password, double(offset));
    return password;
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
    return Password::draw(alphabet, Password::checkedLength(length), random);
}
