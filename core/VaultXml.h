// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QXmlStreamAttributes>
#include <functional>
#include <optional>

// A vault's XML as a tree that keeps every element and attribute it was given, ours or not, so
// that what we write back differs only where we changed it. A value marked Protected="True" is
// held in clear here; the stream that hides it in the file is applied on the way in and out.
namespace VaultXml {

struct Element
{
    QString name;
    QXmlStreamAttributes attributes;
    QString text; // for an element without children
    QList<Element> children;
    // For a protected value: its bytes in clear (a string's UTF-8).
    QByteArray secret;

    bool isProtected() const;
    Element *child(QStringView childName);
    const Element *child(QStringView childName) const;
    QString childText(QStringView childName) const;
    // The child of that name, made at the end when there is none.
    Element &ensureChild(QStringView childName);
};

// XORs the protected values, in document order, with the stream's next bytes; it is given how
// many bytes in all and answers that many, or nothing when it cannot.
using KeyStream = std::function<std::optional<QByteArray>(qsizetype length)>;

// The tree, or nothing for what is not well-formed XML or a protected value that is not Base64.
std::optional<Element> read(const QByteArray &xml, const KeyStream &stream);
std::optional<QByteArray> write(const Element &root, const KeyStream &stream);

} // namespace VaultXml
