// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtClipboard.h"

#include <QMimeData>

// Windows' clipboard history (Win+V) and cloud clipboard skip an item that carries these
// formats. Qt registers a bare MIME name as a clipboard format of that very name.
void QtClipboard::addSystemSecretMarkers(QMimeData &data)
{
    const QByteArray dwordZero(4, '\0');
    data.setData(QStringLiteral("ExcludeClipboardContentFromMonitorProcessing"), dwordZero);
    data.setData(QStringLiteral("CanIncludeInClipboardHistory"), dwordZero);
    data.setData(QStringLiteral("CanUploadToCloudClipboard"), dwordZero);
}
