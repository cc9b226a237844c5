// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "GuiPlatform.h"

#include <QByteArray>
#include <QtGlobal>

void prepareGuiPlatform()
{
    // DirectWrite: the system's own text, with its fallback to the CJK UI font (Microsoft YaHei
    // on Chinese Windows) for the captions. It also draws line-edit text under Wine, where the
    // GDI engine draws none.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("windows:fontengine=directwrite"));
}
