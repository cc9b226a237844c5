// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SitepassCli.h"
#include "SystemClock.h"
#include "SystemRandomSource.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SystemRandomSource random;
    SystemClock clock;
    QTextStream out(stdout), err(stderr);
    return SitepassCli::run(QCoreApplication::arguments(), random, clock, out, err);
}
