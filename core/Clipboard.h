// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class Clipboard
{
public:
    // A secret text (one that holds passwords) asks clipboard history tools not to keep it.
    enum class Content { Plain, Secret };

    virtual ~Clipboard() = default;
    virtual void clear() = 0;
    // Places text as the clipboard's plain text; throws SitepassError when it did not take.
    virtual void setText(const QString &text, Content content = Content::Plain) = 0;
};
