// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemAccounts.h"

#include <pwd.h>

bool SystemAccounts::userExists(const QString &name)
{
    return getpwnam(name.toLocal8Bit().constData()) != nullptr;
}
