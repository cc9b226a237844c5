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

void QtClipboard::setText(const QString &text, Content content)
{
    QClipboard *clipboard = systemClipboard();
    auto *data = new QMimeData;
    data->setText(text);
    if (content == Content::Secret) {
        // Each history tool honours its own marker: Klipper and fcitx5 the KDE hint, CopyQ 6.4
        // the hidden flag, newer CopyQ the secret flag. A tool that knows none keeps the text.
        data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
        data->setData(QStringLiteral("application/x-copyq-hidden"), QByteArrayLiteral("1"));
        data->setData(QStringLiteral("application/x-copyq-secret"), QByteArrayLiteral("1"));
    }
    clipboard->setMimeData(data);

    // Another program can take the clipboard over at once; then the report was not copied.
    const QMimeData *now = clipboard->mimeData();
    if (!now || now->text() != text)
        throw SitepassError(SitepassError::Kind::ClipboardNotTaken);
}
