// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <optional>

// The servers' programs on the machine a site is made on (Linux): run as their packages install
// them, with the system's PATH and C locale.
namespace ServerPrograms {

// A program's exit status (-1: it did not run) and what it printed, both streams.
struct Run
{
    int status = -1;
    QString output;
    bool ok() const { return status == 0; }
};
// A program still running after `timeoutMs` is killed, and the run failed (status -1). `input`
// is its standard input (a secret goes there, never into the arguments); `folder` where it runs.
Run run(const QString &program, const QStringList &arguments, int timeoutMs = 120000,
        const QByteArray &input = {}, const QString &folder = {});

// The newest PHP-FPM installed: "8.2", or nothing.
std::optional<QString> phpVersion();
// Whether systemd runs this machine's services.
bool systemdRuns();

// A page from a site on this machine: the body of http://ADDRESS:PORT/ asked for HOST, or empty;
// whatever the server does, it returns by the deadline.
QString fetch(const QString &address, const QString &port, const QString &host,
              const QDeadlineTimer &deadline);

} // namespace ServerPrograms
