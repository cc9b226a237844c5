// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QTextStream>

class Clock;
class RandomSource;

// The command-line companion: the window's two jobs for servers and scripts.
namespace SitepassCli {

enum ExitCode { Ok = 0, Failed = 1, BadInput = 2 };

// Runs one command line (arguments[0] is the program name). Writes to `out` only on success and
// to `err` only on failure, and returns the exit status.
int run(const QStringList &arguments, RandomSource &random, const Clock &clock, QTextStream &out,
        QTextStream &err);

} // namespace SitepassCli
