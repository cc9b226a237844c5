// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Terminal.h"

#include <windows.h>

namespace Terminal {

bool inputIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

std::optional<QString> readHidden(const QString &prompt)
{
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0, before = 0;
    WriteConsoleW(err, prompt.utf16(), DWORD(prompt.size()), &written, nullptr);
    if (!GetConsoleMode(in, &before))
        return std::nullopt;
    SetConsoleMode(in, before & ~DWORD(ENABLE_ECHO_INPUT));
    QString line;
    wchar_t c = 0;
    DWORD read = 0;
    bool ended = false;
    while (ReadConsoleW(in, &c, 1, &read, nullptr) && read == 1) {
        if (c == L'\n') {
            ended = true;
            break;
        }
        if (c != L'\r')
            line.append(QChar(c));
    }
    SetConsoleMode(in, before);
    WriteConsoleW(err, L"\r\n", 2, &written, nullptr);
    if (!ended)
        return std::nullopt;
    return line;
}

} // namespace Terminal
