// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "LongToHex.h"

QString LongToHex(qint32 value)
{
    return value > 0 ? QString::number(value, 16).toUpper() : QString();
}
