// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Password.h"

#include "Caesar.h"
#include "RandomSource.h"
#include "SitepassError.h"
#include "TextServices.h"

#include <algorithm>
#include <array>
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
    const QChar *units = pool.units();
    const bool singleUnits = pool.singleUnits();
    std::array<qsizetype, 256> batch;
    for (qsizetype done = 0; done < length; done += qsizetype(batch.size())) {
        const qsizetype count = std::min(qsizetype(batch.size()), length - done);
        random.positions(n, batch.data(), count);
        for (qsizetype i = 0; i < count; ++i) {
            // A source that broke its promise of 1..n must still land inside the pool; an empty
            // pool lands on nothing, but the draw still took its value.
            const qsizetype k = std::min(std::max<qsizetype>(batch[i], 1), n);
            if (singleUnits && k > 0) {
                *out++ = units[k - 1];
            } else {
                for (QChar unit : pool.entry(k))
                    *out++ = unit;
            }
        }
    }
    password.truncate(out - password.constData());
    return password;
}

QString drawRotated(const CharacterPool &pool, qsizetype length, RandomSource &random)
{
    QString password = draw(pool, length, random);
    // Drawn even when nothing else was, so every run takes length + 1 values.
    const qsizetype offset = random.position(pool.size());
    rotateLetters(password, qint64(offset));
    return password;
}

QString fromPool(const CharacterPool &pool, qsizetype length, RandomSource &random)
{
    random.reseed();
    return drawRotated(pool, length, random);
}

namespace {
// Characters of the special text that belong to no other class: only these show the special
// class in a password (letters and digits there rotate or count as their own class).
QString specialOnly(const PasswordSettings &settings)
{
    QString only;
    if (!settings.special)
        return only;
    for (QChar c : TextServices::trimSpaces(settings.specialText)) {
        const char16_t u = c.unicode();
        const bool otherClass =
            (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9');
        if (!otherClass)
            only += c;
    }
    return only;
}

// `special` is specialOnly(settings), passed in so a redraw loop works it out once.
bool hasEveryClass(QStringView password, const PasswordSettings &settings, QStringView special)
{
    bool upper = !settings.upper, lower = !settings.lower, digit = !settings.digits;
    bool other = special.isEmpty();
    for (QChar c : password) {
        const char16_t u = c.unicode();
        upper |= u >= u'A' && u <= u'Z';
        lower |= u >= u'a' && u <= u'z';
        digit |= u >= u'0' && u <= u'9';
        // A surrogate pair counts by its first half; a lone half in the text counts as itself.
        other |= !other && special.contains(c);
    }
    return upper && lower && digit && other;
}
} // namespace

qsizetype classCount(const PasswordSettings &settings)
{
    return qsizetype(settings.upper) + qsizetype(settings.lower) + qsizetype(settings.digits) +
           qsizetype(!specialOnly(settings).isEmpty());
}

double everyClassChance(const CharacterPool &pool, qsizetype length,
                        const PasswordSettings &settings)
{
    const QString special = specialOnly(settings);
    // Entries of each required class: upper, lower, digits, special.
    std::array<qsizetype, 4> counts{};
    const std::array<bool, 4> required = {settings.upper, settings.lower, settings.digits,
                                          !special.isEmpty()};
    for (qsizetype k = 1; k <= pool.size(); ++k) {
        const char16_t u = pool.entry(k).at(0).unicode();
        if (u >= u'A' && u <= u'Z')
            ++counts[0];
        else if (u >= u'a' && u <= u'z')
            ++counts[1];
        else if (u >= u'0' && u <= u'9')
            ++counts[2];
        else if (special.contains(QChar(u)))
            ++counts[3];
    }
    const long double size = pool.size();
    long double chance = 0;
    // Every subset of the required classes: + or - the chance that none of them shows.
    for (unsigned subset = 0; subset < 16; ++subset) {
        qsizetype left = pool.size();
        int classes = 0;
        bool valid = true;
        for (int c = 0; c < 4; ++c) {
            if (subset & (1u << c)) {
                valid = valid && required[c];
                left -= counts[c];
                ++classes;
            }
        }
        if (valid)
            chance += (classes % 2 ? -1 : 1) * std::pow(left / size, (long double)length);
    }
    return double(std::max<long double>(chance, 0));
}

QString fromPoolWithEveryClass(const CharacterPool &pool, qsizetype length,
                               const PasswordSettings &settings, RandomSource &random)
{
    // Rotation keeps a letter in its case and leaves every other character alone, so the check
    // after it sees the same classes as before it.
    const QString special = specialOnly(settings);
    for (;;) {
        QString password = fromPool(pool, length, random);
        if (hasEveryClass(password, settings, special))
            return password;
    }
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
