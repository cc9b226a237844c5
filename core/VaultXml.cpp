// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "VaultXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

using namespace Qt::StringLiterals;

namespace VaultXml {

bool Element::isProtected() const
{
    return attributes.value(u"Protected"_s).compare(u"True"_s, Qt::CaseInsensitive) == 0;
}

Element *Element::child(QStringView childName)
{
    for (Element &c : children)
        if (c.name == childName)
            return &c;
    return nullptr;
}

const Element *Element::child(QStringView childName) const
{
    return const_cast<Element *>(this)->child(childName);
}

QString Element::childText(QStringView childName) const
{
    const Element *c = child(childName);
    return c ? c->text : QString();
}

Element &Element::ensureChild(QStringView childName)
{
    if (Element *c = child(childName))
        return *c;
    children.append(Element{childName.toString(), {}, {}, {}, {}});
    return children.last();
}

namespace {
constexpr int maxDepth = 64; // deeper than any vault; a crafted file does not get the stack

void collect(Element &e, QList<Element *> &out)
{
    if (e.isProtected())
        out.append(&e);
    for (Element &c : e.children)
        collect(c, out);
}

bool xorAll(const QList<Element *> &values, const KeyStream &stream)
{
    qsizetype total = 0;
    for (const Element *e : values)
        total += e->secret.size();
    if (total == 0)
        return true;
    const std::optional<QByteArray> key = stream(total);
    if (!key || key->size() != total)
        return false;
    qsizetype at = 0;
    for (Element *e : values)
        for (char &c : e->secret)
            c = char(c ^ key->at(at++));
    return true;
}

// A carriage return as a character reference: written raw, every XML reader would read it as a
// line feed, and a value this program never touched would come back changed.
void writeText(QXmlStreamWriter &w, const QString &text)
{
    const QStringList pieces = text.split(u'\r');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i)
            w.writeEntityReference(u"#13"_s);
        if (!pieces.at(i).isEmpty())
            w.writeCharacters(pieces.at(i));
    }
}

void writeElement(QXmlStreamWriter &w, const Element &e, const QList<QByteArray> &hidden,
                  qsizetype &next)
{
    w.writeStartElement(e.name);
    w.writeAttributes(e.attributes);
    if (e.isProtected())
        w.writeCharacters(QString::fromLatin1(hidden.at(next++).toBase64()));
    else if (e.children.isEmpty())
        writeText(w, e.text);
    for (const Element &c : e.children)
        writeElement(w, c, hidden, next);
    w.writeEndElement();
}
} // namespace

std::optional<Element> read(const QByteArray &xml, const KeyStream &stream)
{
    QXmlStreamReader r(xml);
    QList<Element> open;
    std::optional<Element> root;
    while (!r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::StartElement:
            if (open.size() >= maxDepth || root)
                return std::nullopt;
            open.append(Element{r.name().toString(), r.attributes(), {}, {}, {}});
            break;
        case QXmlStreamReader::Characters:
            if (!open.isEmpty() && !r.isWhitespace())
                open.last().text += r.text();
            else if (!open.isEmpty() && open.last().children.isEmpty())
                open.last().text += r.text();
            break;
        case QXmlStreamReader::EndElement: {
            Element done = open.takeLast();
            if (!done.children.isEmpty())
                done.text.clear(); // whitespace between elements
            if (done.isProtected()) {
                done.secret = QByteArray::fromBase64(done.text.trimmed().toLatin1(),
                                                     QByteArray::AbortOnBase64DecodingErrors);
                if (done.secret.isNull() && !done.text.trimmed().isEmpty())
                    return std::nullopt;
                done.text.clear();
            }
            if (open.isEmpty())
                root = std::move(done);
            else
                open.last().children.append(std::move(done));
            break;
        }
        default:
            break;
        }
    }
    if (r.hasError() || !root)
        return std::nullopt;
    QList<Element *> values;
    collect(*root, values);
    if (!xorAll(values, stream))
        return std::nullopt;
    return root;
}

std::optional<QByteArray> write(const Element &root, const KeyStream &stream)
{
    Element copy = root;
    QList<Element *> values;
    collect(copy, values);
    if (!xorAll(values, stream))
        return std::nullopt;
    QList<QByteArray> hidden;
    for (const Element *e : values)
        hidden.append(e->secret);
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(-1); // tabs, as KeePass writes
    w.writeStartDocument(u"1.0"_s, true);
    qsizetype next = 0;
    writeElement(w, copy, hidden, next);
    w.writeEndDocument();
    for (QByteArray &h : hidden)
        h.fill('\0');
    return out;
}

} // namespace VaultXml
