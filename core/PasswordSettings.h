// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// The password choices as plain values, read afresh from the front end at every run.
struct PasswordSettings
{
    static constexpr QStringView defaultSpecialText = u"!@#$%^&*()";
    static constexpr QStringView defaultLengthText = u"16";

    bool upper = true;
    bool lower = true;
    bool digits = true;
    bool special = false;
    QString specialText = defaultSpecialText.toString();
    QString lengthText = defaultLengthText.toString();
};
