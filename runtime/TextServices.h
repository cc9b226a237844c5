// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Text and number conversions the logic leans on.
namespace TextServices {

// What a user types as a number: " 16 ", "16.7", "-3.5", "+5", "1e2", full-width digits.
// Empty text, letters, trailing junk and anything not finite give nothing.
std::optional<double> tryTextToNumber(QStringView text);

// A whole number as a signed 32-bit integer; outside that range throws SitepassError
// (Kind::OutOfRange) rather than wrapping.
qint32 toInt32(double value, const QString &message);

// Removes leading and trailing U+0020 only; tabs and other blanks are kept.
QStringView trimSpaces(QStringView text);

} // namespace TextServices
