// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Terminal.h"

#include <QByteArray>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace Terminal {

bool inputIsTerminal()
{
    return isatty(STDIN_FILENO) == 1;
}

std::optional<QString> readHidden(const QString &prompt)
{
    const QByteArray text = prompt.toUtf8();
    if (::write(STDERR_FILENO, text.constData(), size_t(text.size())) < 0)
        return std::nullopt;
    termios before{};
    if (tcgetattr(STDIN_FILENO, &before) != 0)
        return std::nullopt;
    termios quiet = before;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    quiet.c_lflag |= ECHONL;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    QByteArray line;
    char c = 0;
    ssize_t n = 0;
    while ((n = ::read(STDIN_FILENO, &c, 1)) == 1 && c != '\n')
        line.append(c);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    const QString typed = QString::fromUtf8(line);
    line.fill('\0');
    if (n != 1)
        return std::nullopt;
    return typed;
}

} // namespace Terminal
