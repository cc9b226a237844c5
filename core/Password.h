// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CharacterPool.h"
#include "PasswordSettings.h"

#include <QString>
#include <QStringView>

class RandomSource;

namespace Password {

// Longer passwords would freeze the window and eat memory for no use.
inline constexpr qsizetype maxLength = 100000;

// The number of characters a length text asks for: floor of its value, 0 when below 1.
// Throws SitepassError for a text that is no number or a length above maxLength.
qsizetype lengthFromText(QStringView lengthText);

// The window caption that reports the length of the result box's text.
QString lengthCaption(QStringView text);

// `length` draws from the pool, one random value each, without rotation.
QString draw(const CharacterPool &pool, qsizetype length, RandomSource &random);

// What follows the reseed in every run: the draws, the offset draw, the rotation.
QString drawRotated(const CharacterPool &pool, qsizetype length, RandomSource &random);

// A whole run on a pool built and a length read beforehand, for callers that make many
// passwords by the same settings.
QString fromPool(const CharacterPool &pool, qsizetype length, RandomSource &random);

// The classes a password can be asked to show: upper, lower, digits, and the special class when
// the special text holds a character that is no ASCII letter or digit (letters and digits there
// rotate or count as their own class).
qsizetype classCount(const PasswordSettings &settings);

// fromPool() again until every class that classCount() counts shows at least once: uniform over the
// passwords that show every class. The caller checks length >= classCount(), or this never ends.
QString fromPoolWithEveryClass(const CharacterPool &pool, qsizetype length,
                               const PasswordSettings &settings, RandomSource &random);

// The chance that one fromPool() password of this length shows every class classCount() counts
// (inclusion-exclusion over those classes); 1 / chance is the expected number of draws above.
double everyClassChance(const CharacterPool &pool, qsizetype length,
                        const PasswordSettings &settings);

} // namespace Password

// A password by the settings: pool, reseed, draws, one more draw for the offset, rotation.
QString RandPass(const PasswordSettings &settings, RandomSource &random);

// floor(length) characters of the fixed alphabet a-z, A-Z, 0-9, unrotated.
QString GeneratePassword(double length, RandomSource &random);
