// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// The text rules the logic leans on.
namespace TextServices {

// What a user types as a number: " 16 ", "16.7", "-3.5", "+5", "1e2", full-width digits.
// Empty text, letters, trailing junk and anything not finite give nothing.
std::optional<double> tryTextToNumber(QStringView text);

// A whole number as a signed 32-bit integer; nothing outside that range rather than wrapping.
std::optional<qint32> toInt32(double value);

// The first control character (C0, DEL, C1), line or paragraph separator, or lone surrogate half:
// none of them belongs in a value that is printed one per line, shown on a terminal or written
// into a script.
std::optional<QChar> firstUnprintable(QStringView text);
// The text with each of those characters written as \xHH or \uHHHH, safe to show on a terminal.
QString escapeUnprintable(QStringView text);

// A port a server can listen on: one to five ASCII digits, 1 to 65535.
std::optional<int> portNumber(QStringView text);

// Removes leading and trailing U+0020 only; tabs and other blanks are kept.
QStringView trimSpaces(QStringView text);

} // namespace TextServices
