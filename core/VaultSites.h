// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KdbxFile.h"
#include "SiteProfile.h"

#include <QList>
#include <QString>

class RandomSource;

// A site's accounts as vault entries: two per site (the database's and the admin's) in a group
// of the site under one group for sitepass. Storing a site again updates its entries and keeps
// what they held before in each entry's history, as KeePass does.
namespace VaultSites {

inline constexpr QStringView groupName = u"sitepass";

struct Account
{
    QString title;
    QString user;
    QString password;
    QString url;
    QList<std::pair<QString, QString>> fields; // the report's other lines, by their labels
};

// The database account and the admin account of a profile.
QList<Account> accounts(const SiteTexts &profile, const QString &databaseHost);

// Puts the accounts in the site's group, matched by title. Throws nothing.
void store(KdbxFile::Vault &vault, const QString &siteName, const QList<Account> &accounts,
           qint64 now, RandomSource &random);

// The password of the database account `user` of `database` (the entry a profile or an earlier
// rotate made); empty when there is none.
QString databasePassword(const KdbxFile::Vault &vault, const QString &user,
                         const QString &database);

// Gives that account its new password, the old one kept in its history; an entry of its own in
// the sitepass group when there is none.
void setDatabasePassword(KdbxFile::Vault &vault, const QString &user, const QString &database,
                         const QString &host, const QString &password, qint64 now,
                         RandomSource &random);

} // namespace VaultSites
