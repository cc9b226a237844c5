// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1.h"
#include "GuiPlatform.h"
#include "QtTranslation.h"
#include "StandardStreams.h"
#include "SystemServices.h"

#include <QApplication>
#include <QTranslator>
#include <cstring>

namespace {
const char help[] = "用法：sitepass [选项]\n"
                    "打开 sitepass 窗口：左侧生成网站的站点资料，右侧生成随机密码。\n"
                    "\n"
                    "  -h, --help     显示本帮助，不打开窗口。\n"
                    "  -v, --version  显示版本，不打开窗口。\n"
                    "\n"
                    "在脚本和服务器上请用 sitepass-cli（见 sitepass-cli --help）。\n";
const char version[] = "sitepass " SITEPASS_VERSION "\n";

// Help and version are answered on the terminal, before any window or display is needed.
const char *terminalAnswer(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h"))
            return help;
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-v"))
            return version;
    }
    return nullptr;
}
} // namespace

int main(int argc, char *argv[])
{
    if (const char *answer = terminalAnswer(argc, argv)) {
        StandardStreams streams(StandardStreams::Console::Parent);
        const qint64 size = qint64(std::strlen(answer));
        return streams.out().write(answer, size) == size ? 0 : 1;
    }
    prepareGuiPlatform();
    QApplication app(argc, argv);
    QTranslator qtChinese;
    installQtChinese(app, qtChinese);
    SystemServices services;
    Form1 window(services.random, services.clock, services.clipboard);
    window.show();
    return app.exec();
}
