// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Moves every ASCII letter offset places forward within its own case, wrapping; every other
// code unit is copied. The offset is rounded to a whole number; a negative one moves backwards.
QString Caesar(const QString &str, double offset);

// The same rotation in place by a whole offset, for callers that own the text.
void rotateLetters(QString &text, qint64 offset);
