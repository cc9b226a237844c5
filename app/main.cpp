// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1.h"
#include "QtTranslation.h"
#include "SystemServices.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTranslator qtChinese;
    installQtChinese(app, qtChinese);
    SystemServices services;
    Form1 window(services.random, services.clock, services.clipboard);
    window.show();
    return app.exec();
}
