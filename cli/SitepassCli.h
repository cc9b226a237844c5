// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class Clock;
class VaultCrypto;
class QIODevice;
class RandomSource;

// The command-line companion: the window's two jobs for servers and scripts.
namespace SitepassCli {

// A reader that goes away ends the program through SIGPIPE (status 141 in a shell), untouched.
enum ExitCode { Ok = 0, Failed = 1, BadInput = 2 };

// Runs one command line (arguments[0] is the program name). `in` is standard input, read only
// by `sql` without a file. Streams results to `out` as they are made; refusals and failures go
// to `err` as one line. Returns the exit status.
int run(const QStringList &arguments, RandomSource &random, const Clock &clock, VaultCrypto &crypto,
        QIODevice &in, QIODevice &out, QIODevice &err);

} // namespace SitepassCli
