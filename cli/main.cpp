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
#include <unistd.h>

int main(int argc, char *argv[])
{
    // A reader that goes away ends the program quietly, as with any filter in a pipe.
    std::signal(SIGPIPE, SIG_DFL);
    QCoreApplication app(argc, argv);
    QTranslator qtChinese;
    installQtChinese(app, qtChinese);
    SystemRandomSource random;
    SystemClock clock;
    // Unbuffered: the command writes its own chunks and must see each write fail.
    QFile out, err;
    out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return SitepassCli::run(QCoreApplication::arguments(), random, clock, out, err);
}
