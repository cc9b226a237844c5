// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <utility>

namespace HelpText {

// Columns a terminal gives the text: two for each East Asian wide or full-width character.
qsizetype displayWidth(QStringView text);

// Two-column rows ("  left  description"), every description starting at the same column. A
// row without a description is a heading (or, empty, a blank line) and stands as it is.
QString columns(const QList<std::pair<QString, QString>> &rows);

} // namespace HelpText
