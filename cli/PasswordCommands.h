// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CharacterPool.h"
#include "CommandLine.h"

class ChunkedOutput;

namespace CommandLine {

// The password options, checked once for the whole command.
struct PasswordRequest
{
    PasswordSettings settings;
    CharacterPool pool;
    qsizetype length = 0;
    bool everyClass = false;

    QString next(RandomSource &random) const;
};

// Refuses (UsageError) settings that could give no password, or only after too many draws.
PasswordRequest passwordRequest(const QCommandLineParser &parser, const Options &o);

// password: passwords one a line, streamed as they are drawn.
void password(const Invocation &call, ChunkedOutput &out);

// profile DOMAIN: the site report (or its JSON), made whole before anything is printed, to
// standard output or a new file (--output, --group).
void profile(const Invocation &call, ChunkedOutput &out);

// A new profile for `domain` by the profile and password options; its token in `token`.
SiteTexts newProfile(const Invocation &call, const QString &domain, QString &token);
// The report (or --json, --crlf) to standard output or the new file.
void writeProfile(const Invocation &call, const SiteTexts &texts, const QString &token,
                  const OutputFile &output, ChunkedOutput &out);

} // namespace CommandLine
