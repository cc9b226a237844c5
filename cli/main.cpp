// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtTranslation.h"
#include "SitepassCli.h"
#include "SystemClock.h"
#include "SystemRandomSource.h"

#include <QCoreApplication>
#include <QFile>
#include <QTranslator>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // A reader that goes away ends the program quietly, as with any filter in a pipe.
    std::signal(SIGPIPE, SIG_DFL);
    // Asked before anything opens a file: a closed descriptor 0 or 1 would be the next one
    // handed out.
    const bool stdinOpen = fcntl(STDIN_FILENO, F_GETFD) != -1;
    const bool stdoutOpen = fcntl(STDOUT_FILENO, F_GETFD) != -1;
    QCoreApplication app(argc, argv);
    QTranslator qtChinese;
    installQtChinese(app, qtChinese);
    SystemRandomSource random;
    SystemClock clock;
    // Unbuffered: the command writes its own chunks and must see each write fail.
    // A closed standard output stays unopened, and the command says so.
    QFile in, out, err;
    if (stdinOpen)
        in.open(STDIN_FILENO, QIODevice::ReadOnly);
    if (stdoutOpen)
        out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return SitepassCli::run(QCoreApplication::arguments(), random, clock, in, out, err);
}
