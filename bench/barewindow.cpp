// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The floor for start-up time and memory: one Qt window with one label.
#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("barewindow"));
    QLabel label(QStringLiteral("密码生成器"), &window);
    window.show();
    return app.exec();
}
