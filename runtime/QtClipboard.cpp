// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtClipboard.h"

#include "SitepassError.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {
QClipboard *systemClipboard()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        throw SitepassError(SitepassError::Kind::ClipboardUnavailable);
    return clipboard;
}
} // namespace

void QtClipboard::clear()
{
    systemClipboard()->clear();
}

void QtClipboard::setText(const QString &text)
{
    QClipboard *clipboard = systemClipboard();
    auto *data = new QMimeData;
    data->setText(text);
    // Asks clipboard history tools (Klipper, fcitx5 and others) not to keep the passwords.
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    clipboard->setMimeData(data);

    // Another program can take the clipboard over at once; then the report was not copied.
    const QMimeData *now = clipboard->mimeData();
    if (!now || now->text() != text)
        throw SitepassError(SitepassError::Kind::ClipboardNotTaken);
}
