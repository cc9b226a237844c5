// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemAccounts.h"

bool SystemAccounts::userExists(const QString &)
{
    return true;
}
