// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// The one error type of the program: a failing step throws it, the event handler catches it and
// shows message() to the user. Everything the handler wrote before the throw stays written.
class SitepassError : public std::exception
{
public:
    enum class Kind {
        NotANumber,     // text that does not read as a finite number
        OutOfRange,     // a value that does not fit where it has to go
        LengthTooLarge, // a password length above the limit
        Clipboard,      // the clipboard refused the text
    };

    SitepassError(Kind kind, const QString &message)
        : m_kind(kind), m_message(message), m_utf8(message.toUtf8())
    {
    }

    Kind kind() const { return m_kind; }
    QString message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    Kind m_kind;
    QString m_message;
    QByteArray m_utf8;
};
