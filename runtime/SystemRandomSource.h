// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RandomSource.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

// Random draws straight from the system's CSPRNG (getrandom on Linux, BCryptGenRandom on
// Windows), read a block at a time so a long password costs a handful of calls rather than one
// per character.
class SystemRandomSource final : public RandomSource
{
public:
    // Fills the buffer with random bytes; the kernel's unless a test hands in its own.
    using ByteSource = std::function<void(unsigned char *bytes, std::size_t size)>;

    explicit SystemRandomSource(ByteSource bytes = kernelBytes);
    ~SystemRandomSource() override;

    // The kernel source needs no seed; every buffered byte is used at most once anyway.
    void reseed() override {}
    // Exactly uniform by rejection: one byte a try up to 256 entries, two up to 65536, then
    // four, then eight. A try at or above the largest multiple of n below the range is dropped.
    qsizetype position(qsizetype n) override;
    void positions(qsizetype n, qsizetype *out, qsizetype count) override;

    // Random bytes taken from the buffer so far (for measuring what a draw costs).
    std::uint64_t bytesUsed() const { return m_blocksRead * blockBytes - (blockBytes - m_used); }

    static void kernelBytes(unsigned char *bytes, std::size_t size);

private:
    unsigned byte()
    {
        if (m_used == blockBytes)
            refill();
        return m_block[m_used++];
    }
    std::uint64_t wideTry(int bytes);
    void useByteTable(qsizetype n);
    void refill();

    static constexpr std::size_t blockBytes = 16384;
    ByteSource m_bytes;
    std::array<unsigned char, blockBytes> m_block{};
    std::size_t m_used = blockBytes;
    std::uint64_t m_blocksRead = 0;
    // For pools of up to 256 entries: the position each byte gives, 0 for a rejected byte.
    std::array<std::uint16_t, 256> m_byteTable{};
    qsizetype m_byteTableSize = 0;
};
