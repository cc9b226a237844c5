// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SiteFields.h"

#include <array>

// Site fields held as plain values, for callers without a window.
class SiteRecord final : public SiteFields
{
public:
    QString text(SiteField field) const override { return m_texts[std::size_t(field)]; }
    void setText(SiteField field, const QString &text) override
    {
        m_texts[std::size_t(field)] = text;
    }
    // No window, no caption: fill() returns the token to whoever wants it.
    void setCaption(const QString &) override {}

private:
    std::array<QString, std::size_t(SiteField::AdminPassword) + 1> m_texts;
};
