// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QMimeData;

class Clipboard
{
public:
    // A secret text (one that holds passwords) asks clipboard history tools not to keep it.
    enum class Content { Plain, Secret };
    // The clipboard, or the mouse selection (X11's PRIMARY) where the platform has one.
    enum class Mode { Clipboard, Selection };

    virtual ~Clipboard() = default;
    virtual void clear() = 0;
    // Places text as the clipboard's plain text; throws SitepassError when it did not take.
    virtual void setText(const QString &text, Content content = Content::Plain,
                         Mode mode = Mode::Clipboard) = 0;

    // The text with, for a secret, the markers each history tool honours: Klipper and fcitx5 the
    // KDE hint, CopyQ 6.4 the hidden flag, newer CopyQ the secret flag. A tool that knows none
    // keeps the text.
    static QMimeData *mimeData(const QString &text, Content content);
    static bool isSecret(const QMimeData &data);
};
