// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <exception>

// The one error type of the program: a failing step throws it and the front end that ran the step
// words the message for its own users. It carries what the message needs, not the message.
// Everything written before the throw stays written.
class SitepassError : public std::exception
{
public:
    enum class Kind {
        NotANumber,           // text() does not read as a finite number
        LengthTooLarge,       // text() asks for more than limit() characters
        TimeBeyond32Bits,     // the clock is past the last second a 32-bit timestamp holds
        ClockUnreadable,      // the clock gave no valid date and time
        ZoneOutOfRange,       // a time zone too far from 0 to convert
        TimestampOutOfRange,  // a timestamp too far from 0 to convert
        ClipboardUnavailable, // there is no clipboard to write to
        ClipboardNotTaken,    // the clipboard did not keep the text (another program took it)
        ProfileEmpty,         // a profile to read was empty
        ProfileNotUtf8,       // a profile to read was not valid UTF-8
        ProfileUnrecognised,  // neither the report nor its JSON; text() says what was expected
        FieldMissing,         // text() names a field the profile lacks
        FieldEmpty,           // text() names a field that is empty
        FieldBadCharacter,    // text() names a field holding a control character, line break or
                              // lone surrogate
        NameTooLong,          // text() names a field longer than limit() allows
        NameBadCharacter,     // text() names a field holding more than a server name may
        EngineUnsupported,    // text() names a settings format that lacks the database engine
        ValueUnquotable,      // text() names a field that no quoting gives every parser exactly;
                              // detail() is the sequence that stands in the way
        WebValueInvalid,      // text() names a field or option whose value detail() no web
                              // server configuration should hold
    };

    explicit SitepassError(Kind kind, QString text = {}, qint64 limit = 0, QString detail = {})
        : m_kind(kind), m_text(std::move(text)), m_limit(limit), m_detail(std::move(detail))
    {
    }

    Kind kind() const { return m_kind; }
    // The input that was refused, where there is one.
    QString text() const { return m_text; }
    // The bound that was crossed, where there is one.
    qint64 limit() const { return m_limit; }
    // What in text() was refused, where the kind says.
    QString detail() const { return m_detail; }
    const char *what() const noexcept override { return "sitepass error"; }

private:
    Kind m_kind;
    QString m_text;
    qint64 m_limit;
    QString m_detail;
};
