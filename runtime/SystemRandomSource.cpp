// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemRandomSource.h"

#include <algorithm>

SystemRandomSource::SystemRandomSource(ByteSource bytes) : m_bytes(std::move(bytes)) {}

SystemRandomSource::~SystemRandomSource()
{
    // Unused bytes could still become passwords; do not leave them in freed memory.
    volatile unsigned char *p = m_block.data();
    for (std::size_t i = 0; i < m_block.size(); ++i)
        p[i] = 0;
}

void SystemRandomSource::refill()
{
    m_bytes(m_block.data(), m_block.size());
    m_used = 0;
    ++m_blocksRead;
}

void SystemRandomSource::useByteTable(qsizetype n)
{
    const unsigned limit = 256 - 256 % unsigned(n);
    for (unsigned b = 0; b < 256; ++b)
        m_byteTable[b] = b < limit ? std::uint16_t(b % n + 1) : 0;
    m_byteTableSize = n;
}

void SystemRandomSource::positions(qsizetype n, qsizetype *out, qsizetype count)
{
    if (n < 2 || n > 256) {
        for (qsizetype i = 0; i < count; ++i)
            out[i] = position(n);
        return;
    }
    // A pool keeps its size for a whole password: the table is built once per size.
    if (n != m_byteTableSize)
        useByteTable(n);
    qsizetype filled = 0;
    while (filled < count) {
        if (m_used == blockBytes)
            refill();
        // Straight through the buffered bytes, without a refill check per byte.
        const std::size_t end = m_used + std::min<std::size_t>(blockBytes - m_used, count - filled);
        for (; m_used < end; ++m_used) {
            const std::uint16_t k = m_byteTable[m_block[m_used]];
            out[filled] = k;
            filled += k != 0;
        }
    }
}

std::uint64_t SystemRandomSource::wideTry(int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint64_t(byte()) << (8 * i);
    return value;
}

qsizetype SystemRandomSource::position(qsizetype n)
{
    if (n < 2)
        return 1;
    if (n <= 256) {
        qsizetype k;
        positions(n, &k, 1);
        return k;
    }
    const int bytes = n <= 65536 ? 2 : std::uint64_t(n) <= 0xFFFFFFFFu ? 4 : 8;
    const std::uint64_t values = bytes == 8 ? 0 : std::uint64_t(1) << (8 * bytes);
    // The count of values at the top that would favour the low positions; 2^64 mod n for 8 bytes.
    const std::uint64_t excess =
        bytes == 8 ? (0 - std::uint64_t(n)) % std::uint64_t(n) : values % std::uint64_t(n);
    for (;;) {
        const std::uint64_t value = wideTry(bytes);
        if (bytes == 8 ? value < 0 - excess : value < values - excess)
            return qsizetype(value % std::uint64_t(n)) + 1;
    }
}
