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
    volatile std::uint32_t *p = m_block.data();
    for (std::size_t i = 0; i < m_block.size(); ++i)
        p[i] = 0;
}

float SystemRandomSource::next()
{
    if (m_used == m_block.size())
        refill();
    // The top 24 bits: every value is exact in a float and the largest is 1 - 2^-24.
    return static_cast<float>(m_block[m_used++] >> 8) * (1.0f / 16777216.0f);
}

void SystemRandomSource::refill()
{
    auto *bytes = reinterpret_cast<unsigned char *>(m_block.data());
    std::size_t filled = 0;
    const std::size_t wanted = sizeof(m_block);
    while (filled < wanted) {
        const ssize_t got = getrandom(bytes + filled, wanted - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            // Kernels without getrandom: Qt's system generator reads /dev/urandom instead.
            QRandomGenerator::system()->fillRange(m_block.data(), m_block.size());
            filled = wanted;
        }
    }
    m_used = 0;
}
