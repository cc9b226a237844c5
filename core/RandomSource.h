// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where password draws come from. A run calls reseed() once, then next() once per draw.
class RandomSource
{
public:
    virtual ~RandomSource() = default;
    virtual void reseed() = 0;
    // 0 <= r < 1 with 24 random bits, like a single-precision value.
    virtual float next() = 0;
};
