// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsFile.h"

#include "TextServices.h"

#include <QList>
#include <QStringDecoder>
#include <algorithm>
#include <map>

using namespace Qt::StringLiterals;

namespace SettingsFile {

namespace {
[[noreturn]] void fail(const QString &key, Problem problem)
{
    throw Unreadable{key, problem};
}

QString utf8(QByteArrayView bytes, const QString &key)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError() || TextServices::firstUnprintable(text))
        fail(key, Problem::NotLiteral);
    return text;
}

// A value as found: its text and where it is written.
struct Value
{
    QString text;
    qsizetype begin = 0, end = 0;
};
using Values = std::map<QString, Value>;

void keep(Values &values, const QString &key, const Value &value)
{
    if (!values.emplace(key, value).second)
        fail(key, Problem::Twice);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// ---- .env ----

// phpdotenv 5's line reader: a line holding '="' with fewer than two unescaped quotes opens a
// value over several lines, which the next line with a quote closes.
qsizetype unescapedQuotes(QByteArray line)
{
    line.replace("\\\\", "");
    qsizetype count = 0;
    for (qsizetype i = 0; i + 1 < line.size(); ++i)
        count += line[i] != '\\' && line[i + 1] == '"';
    return count;
}

bool closesMultiLine(const QByteArray &line, bool started)
{
    if (line == "\"")
        return true;
    const qsizetype count = unescapedQuotes(line);
    return started ? count > 1 : count >= 1;
}

bool opensMultiLine(const QByteArray &line)
{
    return line.contains("=\"") && !closesMultiLine(line, true);
}

// After a value: blanks, or blanks and a comment.
bool isValueEnd(QByteArrayView rest)
{
    qsizetype i = 0;
    while (i < rest.size() && isBlank(rest[i]))
        ++i;
    return i == rest.size() || (i > 0 && rest[i] == '#');
}

// One value as both parsers read it alike, or a refusal: single quotes (literal), double quotes
// with only \\, \" and \$ escaped and nothing the two undo differently, or a plain word.
Value dotenvValue(const QString &key, const QByteArray &line, qsizetype at, qsizetype lineStart)
{
    Value value;
    value.begin = lineStart + at;
    QByteArray raw;
    qsizetype end = at;
    if (at < line.size() && line[at] == '\'') {
        end = line.indexOf('\'', at + 1);
        if (end < 0)
            fail(key, Problem::MultiLine);
        raw = line.mid(at + 1, end - at - 1);
        ++end;
    } else if (at < line.size() && line[at] == '"') {
        for (end = at + 1; end < line.size() && line[end] != '"'; ++end) {
            if (line[end] == '$')
                fail(key, Problem::NotLiteral);
            if (line[end] == '\\') {
                const char next = end + 1 < line.size() ? line[end + 1] : '\0';
                if (next != '\\' && next != '"' && next != '$')
                    fail(key, Problem::NotLiteral);
                ++end;
                raw += next;
                continue;
            }
            raw += line[end];
        }
        if (end == line.size())
            fail(key, Problem::MultiLine);
        ++end;
        value.text = utf8(raw, key);
        if (!AppConfig::doubleQuotedConflict(value.text).isEmpty())
            fail(key, Problem::Disagree);
    } else {
        while (end < line.size() && !isBlank(line[end])) {
            if (QByteArrayView("'\"\\$#`").contains(line[end]))
                fail(key, Problem::NotLiteral);
            ++end;
        }
        raw = line.mid(at, end - at);
    }
    if (!isValueEnd(QByteArrayView(line).sliced(end)))
        fail(key, Problem::NotLiteral);
    if (value.text.isEmpty())
        value.text = utf8(raw, key);
    value.end = lineStart + end;
    return value;
}

// The name a line sets, with where its value starts, or nothing.
std::optional<std::pair<QByteArray, qsizetype>> dotenvName(const QByteArray &line)
{
    qsizetype i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    if (line.mid(i).startsWith("export") && i + 6 < line.size() && isBlank(line[i + 6])) {
        i += 6;
        while (i < line.size() && isBlank(line[i]))
            ++i;
    }
    const qsizetype start = i;
    while (i < line.size() && isNameChar(line[i]))
        ++i;
    if (i == start)
        return std::nullopt;
    return std::pair{line.mid(start, i - start), i};
}

const QList<QString> dotenvKeys = {u"DB_CONNECTION"_s, u"DB_HOST"_s,     u"DB_PORT"_s,
                                   u"DB_DATABASE"_s,   u"DB_USERNAME"_s, u"DB_PASSWORD"_s,
                                   u"DB_SOCKET"_s,     u"DB_URL"_s,      u"DATABASE_URL"_s};

Values readDotenv(QByteArrayView file)
{
    // Lines as phpdotenv splits them; a lone CR would end a line there and nowhere else.
    QList<std::pair<QByteArray, qsizetype>> lines;
    for (qsizetype start = 0; start <= file.size();) {
        qsizetype end = file.indexOf('\n', start);
        if (end < 0)
            end = file.size();
        QByteArray line = file.sliced(start, end - start).toByteArray();
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.contains('\r'))
            fail(QString(), Problem::Disagree);
        lines.append({line, start});
        start = end + 1;
    }
    // Values over several lines, as phpdotenv groups them. Symfony reads the same group where
    // it opens as NAME=" and its last line ends with the one closing quote; lines inside such a
    // value are text, not keys.
    struct Group
    {
        qsizetype first, last;
        bool plain;
    };
    QList<Group> groups;
    bool multiLine = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines[i].first;
        const bool started = opensMultiLine(line);
        if (started && !multiLine)
            groups.append({i, lines.size() - 1, false});
        const bool inside = multiLine || started;
        multiLine = inside && !closesMultiLine(line, started);
        if (inside && !multiLine)
            groups.last().last = i;
    }
    for (Group &g : groups) {
        const QByteArray &open = lines[g.first].first;
        const auto name = dotenvName(open);
        QByteArray close = lines[g.last].first;
        while (!close.isEmpty() && isBlank(close.back()))
            close.chop(1);
        g.plain = name && open.mid(name->second).startsWith("=\"") && g.last > g.first &&
                  (close == "\"" || unescapedQuotes(close) == 1) && close.endsWith('"') &&
                  !close.endsWith("\\\"");
    }
    Values values;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto &[line, start] = lines[i];
        const auto name = dotenvName(line);
        if (!name || !dotenvKeys.contains(QString::fromLatin1(name->first)))
            continue;
        const QString key = QString::fromLatin1(name->first);
        const auto group = std::find_if(groups.cbegin(), groups.cend(), [&](const Group &g) {
            return g.first <= i && i <= g.last;
        });
        if (group != groups.cend()) {
            if (group->plain && i > group->first)
                continue; // a line of another value
            // A value of its own over several lines, or a line that is a key for one parser
            // and text for the other: either way no single reading.
            fail(key, i == group->first ? Problem::MultiLine : Problem::Disagree);
        }
        qsizetype at = name->second;
        if (at == line.size() || line[at] != '=') {
            // Symfony refuses blanks before "=", phpdotenv trims them; a word after the name
            // is some other line.
            while (at < line.size() && isBlank(line[at]))
                ++at;
            if (at < line.size() && line[at] == '=')
                fail(key, Problem::Disagree);
            continue;
        }
        keep(values, key, dotenvValue(key, line, at + 1, start));
    }
    return values;
}

// ---- PHP ----

struct Token
{
    enum Type { Name, SingleQuoted, OtherString, Number, Punctuation } type;
    QByteArray text; // a name, a number, punctuation, or a string's contents as PHP reads them
    qsizetype begin, end;
};

// Just enough of PHP's scanner to find literals and names in code, past comments, strings,
// heredocs and the text outside <?php ... ?>.
QList<Token> phpTokens(QByteArrayView file)
{
    QList<Token> tokens;
    const qsizetype n = file.size();
    const auto at = [&](qsizetype i) { return i < n ? file[i] : '\0'; };
    qsizetype i = 0;
    bool code = false;
    while (i < n) {
        if (!code) {
            const qsizetype open = file.sliced(i).indexOf("<?");
            if (open < 0)
                break;
            i += open + 2;
            if (file.sliced(i).startsWith("php"))
                i += 3;
            else if (at(i) == '=')
                ++i;
            code = true;
            continue;
        }
        const char c = file[i];
        if (c == '?' && at(i + 1) == '>') {
            code = false;
            i += 2;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
        } else if (c == '#' && at(i + 1) != '[') {
            while (i < n && file[i] != '\n' && !(file[i] == '?' && at(i + 1) == '>'))
                ++i;
        } else if (c == '/' && at(i + 1) == '/') {
            while (i < n && file[i] != '\n' && !(file[i] == '?' && at(i + 1) == '>'))
                ++i;
        } else if (c == '/' && at(i + 1) == '*') {
            const qsizetype close = file.sliced(i + 2).indexOf("*/");
            i = close < 0 ? n : i + 2 + close + 2;
        } else if (c == '\'') {
            Token t{Token::SingleQuoted, {}, i, 0};
            for (++i; i < n && file[i] != '\''; ++i) {
                if (file[i] == '\\' && (at(i + 1) == '\\' || at(i + 1) == '\''))
                    ++i;
                t.text += file[i];
            }
            t.end = ++i;
            tokens.append(t);
        } else if (c == '"' || c == '`') {
            Token t{Token::OtherString, {}, i, 0};
            for (++i; i < n && file[i] != c; ++i)
                i += file[i] == '\\';
            t.end = ++i;
            // Plain contents (no escape, no variable) read as they stand: a key in double quotes.
            const QByteArrayView inner =
                file.sliced(t.begin + 1, qMax<qsizetype>(0, t.end - t.begin - 2));
            if (c == '"' && !inner.contains('\\') && !inner.contains('$'))
                t.text = inner.toByteArray();
            tokens.append(t);
        } else if (c == '<' && file.sliced(i).startsWith("<<<")) {
            // A heredoc or nowdoc: its label, then everything up to a line that starts with it.
            qsizetype j = i + 3;
            while (isBlank(at(j)))
                ++j;
            const bool quoted = at(j) == '\'' || at(j) == '"';
            j += quoted;
            const qsizetype label = j;
            while (isNameChar(at(j)))
                ++j;
            const QByteArray name = file.sliced(label, j - label).toByteArray();
            qsizetype line = file.sliced(j).indexOf('\n');
            qsizetype end = n;
            while (line >= 0 && !name.isEmpty()) {
                qsizetype k = j + line + 1;
                while (isBlank(at(k)))
                    ++k;
                if (file.sliced(k).startsWith(name) && !isNameChar(at(k + name.size()))) {
                    end = k + name.size();
                    break;
                }
                j += line + 1;
                line = file.sliced(j).indexOf('\n');
            }
            tokens.append({Token::OtherString, {}, i, end});
            i = end;
        } else if (isNameChar(c) || c == '\\' || c == '$') {
            const qsizetype start = i;
            ++i;
            while (i < n && (isNameChar(file[i]) || file[i] == '\\'))
                ++i;
            const QByteArray word = file.sliced(start, i - start).toByteArray();
            const bool digits = c >= '0' && c <= '9';
            tokens.append({digits ? Token::Number : Token::Name, word, start, i});
        } else {
            const bool arrow = (c == '=' && at(i + 1) == '>') || (c == '-' && at(i + 1) == '>') ||
                               (c == ':' && at(i + 1) == ':');
            const qsizetype size = arrow ? 2 : 1;
            tokens.append({Token::Punctuation, file.sliced(i, size).toByteArray(), i, i + size});
            i += size;
        }
    }
    return tokens;
}

bool isPunctuation(const QList<Token> &tokens, qsizetype i, QByteArrayView text)
{
    return i < tokens.size() && tokens[i].type == Token::Punctuation && tokens[i].text == text;
}

// A value that is one single-quoted literal followed by `after`; anything else is refused.
Value phpLiteral(const QList<Token> &tokens, qsizetype i, const QString &key,
                 QList<QByteArrayView> after)
{
    if (i >= tokens.size() || tokens[i].type != Token::SingleQuoted)
        fail(key, Problem::NotLiteral);
    bool ends = false;
    for (QByteArrayView end : after)
        ends = ends || isPunctuation(tokens, i + 1, end);
    if (!ends)
        fail(key, Problem::NotLiteral);
    return {utf8(tokens[i].text, key), tokens[i].begin, tokens[i].end};
}

const QList<QString> wordPressKeys = {u"DB_NAME"_s, u"DB_USER"_s, u"DB_PASSWORD"_s, u"DB_HOST"_s};

Values readWordPress(QByteArrayView file)
{
    const QList<Token> tokens = phpTokens(file);
    Values values;
    for (qsizetype i = 0; i + 3 < tokens.size(); ++i) {
        const Token &t = tokens[i];
        if (t.type != Token::Name || t.text.toLower().replace("\\", "") != "define" ||
            (i > 0 && (isPunctuation(tokens, i - 1, "->") || isPunctuation(tokens, i - 1, "::"))) ||
            !isPunctuation(tokens, i + 1, "(") || !isPunctuation(tokens, i + 3, ","))
            continue;
        const Token &name = tokens[i + 2];
        const QString key = QString::fromLatin1(name.text);
        if ((name.type != Token::SingleQuoted && name.type != Token::OtherString) ||
            !wordPressKeys.contains(key))
            continue;
        keep(values, key, phpLiteral(tokens, i + 4, key, {")"}));
    }
    return values;
}

const QList<QString> arrayKeys = {u"driver"_s,   u"host"_s,     u"port"_s,
                                  u"database"_s, u"username"_s, u"password"_s};

Values readPhpArray(QByteArrayView file)
{
    const QList<Token> tokens = phpTokens(file);
    Values values;
    for (qsizetype i = 0; i + 2 < tokens.size(); ++i) {
        const QString key = QString::fromLatin1(tokens[i].text);
        if (tokens[i].type == Token::Name || tokens[i].type == Token::Punctuation ||
            !arrayKeys.contains(key) || !isPunctuation(tokens, i + 1, "=>"))
            continue;
        const Token &v = tokens[i + 2];
        if (key == u"port"_s && v.type == Token::Number &&
            (isPunctuation(tokens, i + 3, ",") || isPunctuation(tokens, i + 3, "]")))
            keep(values, key, {QString::fromLatin1(v.text), v.begin, v.end});
        else
            keep(values, key, phpLiteral(tokens, i + 2, key, {",", "]"}));
    }
    return values;
}

// ---- the account ----

QString required(const Values &values, const QString &key)
{
    const auto found = values.find(key);
    if (found == values.end())
        fail(key, Problem::Missing);
    return found->second.text;
}

QString optional(const Values &values, const QString &key)
{
    const auto found = values.find(key);
    return found == values.end() ? QString() : found->second.text;
}

SqlScript::Dialect engineNamed(const QString &key, const QString &name)
{
    if (name == u"mysql"_s || name == u"mariadb"_s)
        return SqlScript::Dialect::MariaDb;
    if (name == u"pgsql"_s)
        return SqlScript::Dialect::PostgreSql;
    fail(key, Problem::Engine);
}

int portNamed(const QString &key, const QString &text)
{
    if (text.isEmpty())
        return 0;
    const auto port = TextServices::portNumber(text);
    if (!port)
        fail(key, Problem::Port);
    return *port;
}

bool sameAccount(const Account &a, const Account &b)
{
    return a.engine == b.engine && a.host == b.host && a.port == b.port && a.socket == b.socket &&
           a.database == b.database && a.user == b.user;
}
} // namespace

Read read(AppConfig::Format format, QByteArrayView file)
{
    Read read;
    Account &a = read.account;
    Values values;
    QString passwordKey;
    switch (format) {
    case AppConfig::Format::Laravel:
        values = readDotenv(file);
        passwordKey = u"DB_PASSWORD"_s;
        a.engine = engineNamed(u"DB_CONNECTION"_s, required(values, u"DB_CONNECTION"_s));
        // Laravel's own defaults where the .env leaves them out.
        a.host = values.count(u"DB_HOST"_s) ? values[u"DB_HOST"_s].text : u"127.0.0.1"_s;
        a.port = portNamed(u"DB_PORT"_s, optional(values, u"DB_PORT"_s));
        // Laravel's MySQL connection takes a socket over the host; PostgreSQL's reads none.
        if (a.engine == SqlScript::Dialect::MariaDb)
            a.socket = optional(values, u"DB_SOCKET"_s);
        // A URL (Laravel 11's DB_URL, older ones' DATABASE_URL) wins over the keys.
        for (const QString &url : {u"DB_URL"_s, u"DATABASE_URL"_s})
            if (!optional(values, url).isEmpty())
                fail(url, Problem::Overrides);
        a.database = required(values, u"DB_DATABASE"_s);
        a.user = required(values, u"DB_USERNAME"_s);
        break;
    case AppConfig::Format::WordPress: {
        values = readWordPress(file);
        passwordKey = u"DB_PASSWORD"_s;
        a.database = required(values, u"DB_NAME"_s);
        a.user = required(values, u"DB_USER"_s);
        // "host", "host:port" or "host:/path/to/socket", as WordPress splits it.
        const QString host = required(values, u"DB_HOST"_s);
        const qsizetype colon =
            host.startsWith(u'[') ? host.indexOf(u"]:"_s) + 1 : host.lastIndexOf(u':');
        a.host = colon > 0 ? host.left(colon) : host;
        // An IPv6 address in brackets, as WordPress passes it on: without them.
        if (a.host.startsWith(u'[') && a.host.endsWith(u']'))
            a.host = a.host.mid(1, a.host.size() - 2);
        const QString after = colon > 0 ? host.mid(colon + 1) : QString();
        if (after.startsWith(u'/'))
            a.socket = after;
        else
            a.port = portNamed(u"DB_HOST"_s, after);
        break;
    }
    case AppConfig::Format::Php:
        values = readPhpArray(file);
        passwordKey = u"password"_s;
        a.engine = engineNamed(u"driver"_s, required(values, u"driver"_s));
        a.host = required(values, u"host"_s);
        a.port = portNamed(u"port"_s, optional(values, u"port"_s));
        a.database = required(values, u"database"_s);
        a.user = required(values, u"username"_s);
        break;
    }
    a.password = required(values, passwordKey);
    read.passwordBegin = values[passwordKey].begin;
    read.passwordEnd = values[passwordKey].end;
    return read;
}

std::optional<QByteArray> withPassword(AppConfig::Format format, QByteArrayView file,
                                       const Read &read, const QString &password)
{
    QString literal;
    if (format == AppConfig::Format::Laravel) {
        if (!AppConfig::dotenvConflict(password).isEmpty())
            return std::nullopt;
        literal = AppConfig::dotenvValue(password);
    } else {
        literal = AppConfig::phpString(password);
    }
    QByteArray changed = file.toByteArray();
    changed.replace(read.passwordBegin, read.passwordEnd - read.passwordBegin, literal.toUtf8());
    // Read back as the next run will: the same account, this password, or it is not written.
    try {
        const Read again = SettingsFile::read(format, changed);
        if (!sameAccount(again.account, read.account) || again.account.password != password)
            return std::nullopt;
    } catch (const Unreadable &) {
        return std::nullopt;
    }
    return changed;
}

} // namespace SettingsFile
