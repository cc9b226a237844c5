// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpText.h"

using namespace Qt::StringLiterals;

#include <QList>
#include <algorithm>

namespace HelpText {

namespace {
// The East Asian Wide and Fullwidth blocks a help text can hold (CJK, kana, Hangul, full-width
// forms, CJK extensions); everything else takes one column.
bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
           (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}
} // namespace

qsizetype displayWidth(QStringView text)
{
    qsizetype width = 0;
    for (const char32_t c : text.toUcs4())
        width += isWide(c) ? 2 : 1;
    return width;
}

QString columns(const QList<std::pair<QString, QString>> &rows)
{
    qsizetype widest = 0;
    for (const auto &[left, description] : rows)
        if (!description.isEmpty())
            widest = std::max(widest, displayWidth(left));
    QString text;
    for (const auto &[left, description] : rows) {
        if (description.isEmpty())
            text += left + u'\n';
        else
            text += QString(2, u' ') + left + QString(widest - displayWidth(left) + 2, u' ') +
                    description + u'\n';
    }
    return text;
}

} // namespace HelpText
