// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The system's user accounts, as the servers on this machine will look them up.
namespace SystemAccounts {
// Whether a user of this name exists (Windows: always, the files are for another machine).
bool userExists(const QString &name);
} // namespace SystemAccounts
