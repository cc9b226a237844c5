// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextServices.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace TextServices {

namespace {
// The common case, a few plain ASCII digits such as "16", without locale or Unicode machinery.
std::optional<qint32> plainDigits(QStringView text)
{
    // Nine digits always fit a signed 32-bit integer; ten may not.
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    qint32 value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// Plain ASCII needs no normalisation.
bool isAscii(QStringView text)
{
    for (QChar c : text)
        if (c.unicode() > 0x7f)
            return false;
    return true;
}
} // namespace

std::optional<int> portNumber(QStringView text)
{
    const auto value = text.size() <= 5 ? plainDigits(text) : std::nullopt;
    if (!value || *value < 1 || *value > 65535)
        return std::nullopt;
    return *value;
}

std::optional<double> tryTextToNumber(QStringView text)
{
    if (const auto value = plainDigits(text))
        return double(*value);
    // NFKC folds the full-width digits and signs a Chinese input method types into ASCII.
    const QString folded =
        (isAscii(text) ? text.toString()
                       : text.toString().normalized(QString::NormalizationForm_KC))
            .trimmed();
    if (folded.isEmpty())
        return std::nullopt;
    static const QLocale c = [] {
        QLocale locale = QLocale::c();
        locale.setNumberOptions(QLocale::RejectGroupSeparator);
        return locale;
    }();
    bool ok = false;
    const double value = c.toDouble(folded, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint32> toInt32(double value)
{
    const double whole = std::nearbyint(value);
    if (!(whole >= std::numeric_limits<qint32>::min() &&
          whole <= std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return static_cast<qint32>(whole);
}

QStringView trimSpaces(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

namespace {
// Whether the character at i is one of firstUnprintable()'s; a surrogate pair is passed over
// whole (i moves to its second half).
bool unprintableAt(QStringView text, qsizetype &i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        ++i;
        return false;
    }
    return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator || c.isSurrogate();
}
} // namespace

std::optional<QChar> firstUnprintable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (unprintableAt(text, i))
            return text[i];
    return std::nullopt;
}

QString escapeUnprintable(QStringView text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype start = i;
        if (!unprintableAt(text, i)) {
            shown += text.mid(start, i - start + 1);
            continue;
        }
        const ushort code = text[i].unicode();
        const bool small = code < 0x100;
        shown += (small ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
                 QString::number(code, 16).toUpper().rightJustified(small ? 2 : 4, u'0');
    }
    return shown;
}

} // namespace TextServices
