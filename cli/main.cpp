// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "GcryptVaultCrypto.h"
#include "QtTranslation.h"
#include "SitepassCli.h"
#include "StandardStreams.h"
#include "SystemClock.h"
#include "SystemRandomSource.h"

#include <QCoreApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // Before anything opens a file; a closed standard output stays unopened and the command
    // says so.
    StandardStreams streams;
    QCoreApplication app(argc, argv);
    QTranslator qtChinese;
    installQtChinese(app, qtChinese);
    SystemRandomSource random;
    SystemClock clock;
    GcryptVaultCrypto crypto;
    return SitepassCli::run(QCoreApplication::arguments(), random, clock, crypto, streams.in(),
                            streams.out(), streams.err());
}
