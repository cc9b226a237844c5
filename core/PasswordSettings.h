// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The password group as plain values, read afresh from the window at every run.
struct PasswordSettings
{
    bool upper = true;                                  // ss_dx
    bool lower = true;                                  // ss_xx
    bool digits = true;                                 // ss_sz
    bool special = false;                               // ss_fh
    QString specialText = QStringLiteral("!@#$%^&*()"); // ss_fh_value
    QString lengthText = QStringLiteral("16");          // ss_cd
};
