// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Upper-case hexadecimal, most significant digit first, no leading zeros; empty for 0 and below.
QString LongToHex(qint32 value);
