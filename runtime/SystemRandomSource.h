// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RandomSource.h"

#include <array>
#include <cstddef>
#include <cstdint>

// Random values straight from the kernel's CSPRNG (getrandom), read a block at a time so a long
// password costs a handful of system calls rather than one per character.
class SystemRandomSource final : public RandomSource
{
public:
    // Each value takes three bytes: 24 bits, all a float holds below 1.
    static constexpr std::size_t bytesPerValue = 3;

    SystemRandomSource() = default;
    ~SystemRandomSource() override;

    // The kernel source needs no seed; every buffered word is used at most once anyway.
    void reseed() override {}
    float next() override;

private:
    void refill();

    static constexpr std::size_t blockBytes = 4096 * bytesPerValue;
    std::array<unsigned char, blockBytes + 1> m_block{};
    std::size_t m_used = blockBytes;
};
