// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The nine values of a site profile, in report order.
enum class SiteField {
    SiteName,
    SiteUrl,
    SitePort,
    TableName,
    DatabaseUser,
    DatabasePassword,
    AdminPath,
    AdminUser,
    AdminPassword,
};

// Where the site-profile steps read and write: the window's boxes and caption, or plain values.
// A step reads a field back after an earlier step wrote it, so the two must agree.
class SiteFields
{
public:
    virtual ~SiteFields() = default;
    virtual QString text(SiteField field) const = 0;
    virtual void setText(SiteField field, const QString &text) = 0;
    virtual void setCaption(const QString &caption) = 0;
};
