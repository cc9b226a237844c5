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

void QtClipboard::setText(const QString &text, Content content, Mode mode)
{
    QClipboard *clipboard = systemClipboard();
    const QClipboard::Mode qtMode =
        mode == Mode::Selection ? QClipboard::Selection : QClipboard::Clipboard;
    if (qtMode == QClipboard::Selection && !clipboard->supportsSelection())
        return; // no mouse selection here (Wayland without it, other systems): nothing to mark
    QMimeData *data = mimeData(text, content);
    if (content == Content::Secret)
        addSystemSecretMarkers(*data);
    clipboard->setMimeData(data, qtMode);

    // Another program can take the clipboard over at once; then the text was not copied.
    const QMimeData *now = clipboard->mimeData(qtMode);
    if (!now || now->text() != text)
        throw SitepassError(SitepassError::Kind::ClipboardNotTaken);
}
