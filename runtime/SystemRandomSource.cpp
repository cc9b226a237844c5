// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemRandomSource.h"

#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <sys/random.h>

SystemRandomSource::~SystemRandomSource()
{
    // Unused words could still become passwords; do not leave them in freed memory.
    volatile unsigned char *p = m_block.data();
    for (std::size_t i = 0; i < m_block.size(); ++i)
        p[i] = 0;
}

float SystemRandomSource::next()
{
    if (m_used == blockBytes)
        refill();
    // One 4-byte load, keeping 3 bytes; the block has a spare byte at its end for the last one.
    std::uint32_t bits;
    std::memcpy(&bits, m_block.data() + m_used, sizeof bits);
    m_used += bytesPerValue;
    // 24 bits: every value is exact in a float and the largest is 1 - 2^-24.
    bits &= 0xFFFFFF;
    return static_cast<float>(bits) * (1.0f / 16777216.0f);
}

void SystemRandomSource::refill()
{
    unsigned char *bytes = m_block.data();
    std::size_t filled = 0;
    const std::size_t wanted = blockBytes;
    while (filled < wanted) {
        const ssize_t got = getrandom(bytes + filled, wanted - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            // Kernels without getrandom: Qt's system generator reads /dev/urandom instead.
            for (std::size_t i = 0; i < blockBytes; ++i)
                m_block[i] = static_cast<unsigned char>(QRandomGenerator::system()->generate());
            filled = wanted;
        }
    }
    m_used = 0;
}
