// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Clipboard.h"
#include "SitepassError.h"

#include <QStringList>

// Remembers what was done to it; can be told to refuse the text.
class FakeClipboard final : public Clipboard
{
public:
    void clear() override { m_text.clear(), m_calls << QStringLiteral("clear"); }
    void setText(const QString &text, Content content, Mode mode) override
    {
        m_calls << (content == Content::Secret ? QStringLiteral("setSecretText")
                                               : QStringLiteral("setText")) +
                       (mode == Mode::Selection ? QStringLiteral(":selection") : QString());
        if (m_refuse)
            throw SitepassError(SitepassError::Kind::ClipboardNotTaken);
        m_text = text;
    }

    QString text() const { return m_text; }
    QStringList calls() const { return m_calls; }
    void refuse(bool on) { m_refuse = on; }

private:
    QString m_text;
    QStringList m_calls;
    bool m_refuse = false;
};
