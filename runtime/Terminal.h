// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// The terminal the user types a secret on: standard input when it is one.
namespace Terminal {

bool inputIsTerminal();
// Shows `prompt` on standard error and reads one line from the terminal without echoing it;
// nothing at the end of input or when the terminal cannot be read.
std::optional<QString> readHidden(const QString &prompt);

} // namespace Terminal
