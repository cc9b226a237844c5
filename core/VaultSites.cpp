// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "VaultSites.h"

#include <algorithm>

using namespace Qt::StringLiterals;
using VaultXml::Element;

namespace VaultSites {

namespace {
const QString databaseLabel = u"数据库表名"_s;
const QString hostLabel = u"数据库主机"_s;

Element leaf(const QString &name, const QString &text)
{
    return Element{name, {}, text, {}, {}};
}

Element times(const KdbxFile::Vault &vault, qint64 now)
{
    const QString t = KdbxFile::timeText(vault, now);
    return Element{u"Times"_s,
                   {},
                   {},
                   {leaf(u"CreationTime"_s, t), leaf(u"LastModificationTime"_s, t),
                    leaf(u"LastAccessTime"_s, t), leaf(u"ExpiryTime"_s, t),
                    leaf(u"Expires"_s, u"False"_s), leaf(u"UsageCount"_s, u"0"_s),
                    leaf(u"LocationChanged"_s, t)},
                   {}};
}

QString stringValue(const Element &entry, const QString &key)
{
    for (const Element &c : entry.children)
        if (c.name == u"String"_s && c.childText(u"Key") == key) {
            const Element *value = c.child(u"Value");
            return !value                 ? QString()
                   : value->isProtected() ? QString::fromUtf8(value->secret)
                                          : value->text;
        }
    return {};
}

void setString(Element &entry, const QString &key, const QString &text, bool hidden)
{
    Element *string = nullptr;
    for (Element &c : entry.children)
        if (c.name == u"String"_s && c.childText(u"Key") == key)
            string = &c;
    if (!string) {
        // Beside the other strings, before AutoType and History.
        qsizetype at = entry.children.size();
        for (qsizetype i = 0; i < entry.children.size(); ++i)
            if (entry.children.at(i).name == u"AutoType"_s ||
                entry.children.at(i).name == u"History"_s) {
                at = i;
                break;
            }
        entry.children.insert(at, Element{u"String"_s, {}, {}, {leaf(u"Key"_s, key)}, {}});
        string = &entry.children[at];
    }
    Element &value = string->ensureChild(u"Value");
    if (hidden) {
        value.attributes = {};
        value.attributes.append(u"Protected"_s, u"True"_s);
        value.secret = text.toUtf8();
        value.text.clear();
    } else {
        value.text = text;
        value.secret.clear();
    }
}

// What an entry weighs, as near as KeePass's own count: its texts and protected values.
qint64 sizeOf(const Element &e)
{
    qint64 size = e.text.toUtf8().size() + e.secret.size();
    for (const Element &c : e.children)
        size += sizeOf(c);
    return size;
}

// The vault's own limits on an entry's history (KeePass's defaults where it names none; -1 is
// no limit), the oldest going first, as KeePass trims on each edit.
void trimHistory(const KdbxFile::Vault &vault, Element &history)
{
    const Element *meta = vault.document.child(u"Meta");
    bool ok = false;
    qint64 maxItems = meta ? meta->childText(u"HistoryMaxItems").toLongLong(&ok) : 0;
    if (!ok)
        maxItems = 10;
    qint64 maxSize = meta ? meta->childText(u"HistoryMaxSize").toLongLong(&ok) : 0;
    if (!ok)
        maxSize = 6 << 20;
    const auto count = [&] {
        return std::count_if(history.children.cbegin(), history.children.cend(),
                             [](const Element &c) { return c.name == u"Entry"_s; });
    };
    const auto size = [&] {
        qint64 total = 0;
        for (const Element &c : history.children)
            total += c.name == u"Entry"_s ? sizeOf(c) : 0;
        return total;
    };
    const auto dropOldest = [&] {
        for (qsizetype i = 0; i < history.children.size(); ++i)
            if (history.children.at(i).name == u"Entry"_s) {
                history.children.removeAt(i);
                return;
            }
    };
    while (maxItems >= 0 && count() > maxItems)
        dropOldest();
    while (maxSize >= 0 && count() > 0 && size() > maxSize)
        dropOldest();
}

// Keeps the entry as it is now in its history, then marks it changed.
void keepHistory(const KdbxFile::Vault &vault, Element &entry, qint64 now)
{
    Element before = entry;
    before.children.removeIf([](const Element &c) { return c.name == u"History"_s; });
    Element &history = entry.ensureChild(u"History");
    history.children.append(before);
    trimHistory(vault, history);
    Element &t = entry.ensureChild(u"Times");
    t.ensureChild(u"LastModificationTime").text = KdbxFile::timeText(vault, now);
}

Element newEntry(const KdbxFile::Vault &vault, qint64 now, RandomSource &random)
{
    return Element{u"Entry"_s,
                   {},
                   {},
                   {leaf(u"UUID"_s, KdbxFile::newUuid(random)), leaf(u"IconID"_s, u"0"_s),
                    times(vault, now), Element{u"History"_s, {}, {}, {}, {}}},
                   {}};
}

// A new entry in the group, before its subgroups, where KeePass keeps entries.
Element &addEntry(const KdbxFile::Vault &vault, Element &g, qint64 now, RandomSource &random)
{
    qsizetype at = g.children.size();
    for (qsizetype i = 0; i < g.children.size(); ++i)
        if (g.children.at(i).name == u"Group"_s) {
            at = i;
            break;
        }
    g.children.insert(at, newEntry(vault, now, random));
    return g.children[at];
}

Element &group(const KdbxFile::Vault &vault, Element &parent, const QString &name, qint64 now,
               RandomSource &random)
{
    for (Element &c : parent.children)
        if (c.name == u"Group"_s && c.childText(u"Name") == name)
            return c;
    parent.children.append(Element{
        u"Group"_s,
        {},
        {},
        {leaf(u"UUID"_s, KdbxFile::newUuid(random)), leaf(u"Name"_s, name), leaf(u"Notes"_s, {}),
         leaf(u"IconID"_s, u"48"_s), times(vault, now), leaf(u"IsExpanded"_s, u"True"_s)},
        {}});
    return parent.children.last();
}

Element &sitepassGroup(KdbxFile::Vault &vault, qint64 now, RandomSource &random)
{
    Element &root = vault.document.ensureChild(u"Root").ensureChild(u"Group");
    return group(vault, root, groupName.toString(), now, random);
}

void fill(Element &entry, const Account &a)
{
    setString(entry, u"Title"_s, a.title, false);
    setString(entry, u"UserName"_s, a.user, false);
    setString(entry, u"Password"_s, a.password, true);
    setString(entry, u"URL"_s, a.url, false);
    for (const auto &[key, value] : a.fields)
        setString(entry, key, value, false);
}

// The database account's entry anywhere under the group, or null.
Element *findDatabaseEntry(Element &g, const QString &user, const QString &database)
{
    for (Element &c : g.children) {
        if (c.name == u"Entry"_s && stringValue(c, u"UserName"_s) == user &&
            stringValue(c, databaseLabel) == database)
            return &c;
        if (c.name == u"Group"_s)
            if (Element *found = findDatabaseEntry(c, user, database))
                return found;
    }
    return nullptr;
}

Element *sitepassGroupIfAny(KdbxFile::Vault &vault)
{
    Element *root = vault.document.child(u"Root");
    Element *top = root ? root->child(u"Group") : nullptr;
    if (!top)
        return nullptr;
    for (Element &c : top->children)
        if (c.name == u"Group"_s && c.childText(u"Name") == groupName)
            return &c;
    return nullptr;
}
} // namespace

QList<Account> accounts(const SiteTexts &p, const QString &databaseHost)
{
    const QList<std::pair<QString, QString>> shared = {
        {u"站点目录"_s, SiteProfile::siteDirectory(p.siteName)},
        {u"站点端口"_s, p.sitePort},
        {databaseLabel, p.tableName},
        {u"管理员后台"_s, p.adminPath}};
    return {Account{p.siteName + u" 数据库"_s,
                    p.databaseUser,
                    p.databasePassword,
                    {},
                    shared + QList<std::pair<QString, QString>>{{hostLabel, databaseHost}}},
            Account{p.siteName + u" 管理员"_s, p.adminUser, p.adminPassword,
                    p.siteUrl + p.adminPath, shared}};
}

void store(KdbxFile::Vault &vault, const QString &siteName, const QList<Account> &list, qint64 now,
           RandomSource &random)
{
    Element &site = group(vault, sitepassGroup(vault, now, random), siteName, now, random);
    for (const Account &a : list) {
        Element *entry = nullptr;
        for (Element &c : site.children)
            if (c.name == u"Entry"_s && stringValue(c, u"Title"_s) == a.title)
                entry = &c;
        if (entry)
            keepHistory(vault, *entry, now);
        else
            entry = &addEntry(vault, site, now, random);
        fill(*entry, a);
    }
}

QString databasePassword(const KdbxFile::Vault &vault, const QString &user, const QString &database)
{
    KdbxFile::Vault &v = const_cast<KdbxFile::Vault &>(vault);
    Element *g = sitepassGroupIfAny(v);
    Element *entry = g ? findDatabaseEntry(*g, user, database) : nullptr;
    return entry ? stringValue(*entry, u"Password"_s) : QString();
}

void setDatabasePassword(KdbxFile::Vault &vault, const QString &user, const QString &database,
                         const QString &host, const QString &password, qint64 now,
                         RandomSource &random)
{
    Element &g = sitepassGroup(vault, now, random);
    if (Element *entry = findDatabaseEntry(g, user, database)) {
        keepHistory(vault, *entry, now);
        setString(*entry, u"Password"_s, password, true);
        return;
    }
    fill(addEntry(vault, g, now, random), Account{database + u" 数据库"_s,
                                                  user,
                                                  password,
                                                  {},
                                                  {{databaseLabel, database}, {hostLabel, host}}});
}

} // namespace VaultSites
