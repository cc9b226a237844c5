// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Where password draws come from. A run calls reseed() once, then position() once per draw.
class RandomSource
{
public:
    virtual ~RandomSource() = default;
    virtual void reseed() = 0;
    // A whole number in 1..n, every one equally likely; 1 when n < 2.
    virtual qsizetype position(qsizetype n) = 0;
    // `count` positions in 1..n at once, as if by position() one after the other; a source
    // that can draws them in one tight loop.
    virtual void positions(qsizetype n, qsizetype *out, qsizetype count)
    {
        for (qsizetype i = 0; i < count; ++i)
            out[i] = position(n);
    }

    // For sources of evenly spread values 0 <= r < 1: floor(r * n + 1) in double precision,
    // 1..n for n >= 1 and 1 for n = 0.
    static qsizetype positionOf(float r, qsizetype n)
    {
        return static_cast<qsizetype>(double(r) * double(n) + 1.0);
    }
};
