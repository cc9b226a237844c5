// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Clipboard.h"

class QMimeData;

// The desktop clipboard through Qt. Needs a QGuiApplication.
class QtClipboard final : public Clipboard
{
public:
    void clear() override;
    void setText(const QString &text, Content content = Content::Plain,
                 Mode mode = Mode::Clipboard) override;

private:
    // What the system's own clipboard history honours for a secret, beside core's markers.
    static void addSystemSecretMarkers(QMimeData &data);
};
