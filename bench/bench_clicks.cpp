// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Click-to-result times of the real window in process (offscreen): median and 99th percentile.
#include "Form1.h"
#include "SystemClock.h"
#include "SystemRandomSource.h"
#include "support/FakeClipboard.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
void report(const char *row, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const double p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    std::printf("%s|%.3f|%.3f\n", row, median, p99);
}

std::vector<double> timeClicks(QPushButton *button, int clicks)
{
    std::vector<double> ms;
    ms.reserve(clicks);
    for (int i = 0; i < clicks; ++i) {
        const auto start = std::chrono::steady_clock::now();
        button->click();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    return ms;
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SystemRandomSource random;
    SystemClock clock;
    FakeClipboard clipboard;
    Form1 form(random, clock, clipboard);
    form.show();
    auto *generate = form.findChild<QPushButton *>(QStringLiteral("generate"));
    auto *command1 = form.findChild<QPushButton *>(QStringLiteral("Command1"));
    auto *length = form.findChild<QLineEdit *>(QStringLiteral("ss_cd"));
    form.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("example.com"));

    report("generate, length 16", timeClicks(generate, 1000));
    report("Command1, length 16", timeClicks(command1, 1000));
    length->setText(QStringLiteral("100000"));
    report("generate, length 100000", timeClicks(generate, 1000));
    return 0;
}
