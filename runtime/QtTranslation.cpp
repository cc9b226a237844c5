// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installQtChinese(QCoreApplication &app, QTranslator &translator)
{
    // Built into the program where the system has no shared copy (Windows), else Qt's own.
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    if (!translator.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QStringLiteral(":/translations")) &&
        !translator.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return app.installTranslator(&translator);
}
