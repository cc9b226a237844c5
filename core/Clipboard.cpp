// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Clipboard.h"

#include <QMimeData>

namespace {
const QString kdeHint = QStringLiteral("x-kde-passwordManagerHint");
const QString copyqHidden = QStringLiteral("application/x-copyq-hidden");
const QString copyqSecret = QStringLiteral("application/x-copyq-secret");
} // namespace

QMimeData *Clipboard::mimeData(const QString &text, Content content)
{
    auto *data = new QMimeData;
    data->setText(text);
    if (content == Content::Secret) {
        data->setData(kdeHint, QByteArrayLiteral("secret"));
        data->setData(copyqHidden, QByteArrayLiteral("1"));
        data->setData(copyqSecret, QByteArrayLiteral("1"));
    }
    return data;
}

bool Clipboard::isSecret(const QMimeData &data)
{
    return data.data(kdeHint) == "secret" && data.data(copyqHidden) == "1" &&
           data.data(copyqSecret) == "1";
}
