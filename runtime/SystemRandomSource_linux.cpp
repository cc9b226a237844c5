// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemRandomSource.h"

#include <QRandomGenerator>
#include <cerrno>
#include <sys/random.h>

void SystemRandomSource::kernelBytes(unsigned char *bytes, std::size_t size)
{
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = getrandom(bytes + filled, size - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            // Kernels without getrandom: Qt's system generator reads /dev/urandom instead.
            for (std::size_t i = filled; i < size; ++i)
                bytes[i] = static_cast<unsigned char>(QRandomGenerator::system()->generate());
            filled = size;
        }
    }
}
