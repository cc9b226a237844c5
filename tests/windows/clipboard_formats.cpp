// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Prints every format on the clipboard as a Windows program sees it, one a line: the registered
// name (or the number of a standard format) and the first bytes of its data in hex.
#include <cstdio>
#include <windows.h>

int main()
{
    if (!OpenClipboard(nullptr)) {
        std::fputs("the clipboard cannot be opened\n", stderr);
        return 1;
    }
    for (UINT format = EnumClipboardFormats(0); format != 0;
         format = EnumClipboardFormats(format)) {
        char name[256] = {};
        if (GetClipboardFormatNameA(format, name, sizeof name) == 0) {
            std::printf("%u\n", format);
            continue;
        }
        std::printf("%s", name);
        if (HANDLE data = GetClipboardData(format)) {
            if (const auto *bytes = static_cast<const unsigned char *>(GlobalLock(data))) {
                const SIZE_T size = GlobalSize(data);
                std::printf(" ");
                for (SIZE_T i = 0; i < size && i < 8; ++i)
                    std::printf("%02x", bytes[i]);
                GlobalUnlock(data);
            }
        }
        std::printf("\n");
    }
    CloseClipboard();
    return 0;
}
