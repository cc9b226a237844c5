// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1.h"
#include "SystemServices.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SystemServices services;
    Form1 window(services.random, services.clock, services.clipboard);
    window.show();
    return app.exec();
}
