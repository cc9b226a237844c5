// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Fuzzer bytes read as raw UTF-16 code units, so lone surrogates, U+0000 and every other unit
// reach the code exactly as a paste could deliver them.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }

    // A text of up to `maxUnits` units; its length comes from the input too.
    QString text(std::size_t maxUnits = 256)
    {
        const std::size_t units = std::min<std::size_t>(byte(), maxUnits);
        QString out;
        for (std::size_t i = 0; i < units && m_at + 1 < m_size; ++i, m_at += 2)
            out.append(QChar(char16_t(m_data[m_at] | m_data[m_at + 1] << 8)));
        return out;
    }

    // Everything that is left, as one text.
    QString rest()
    {
        QString out;
        for (; m_at + 1 < m_size; m_at += 2)
            out.append(QChar(char16_t(m_data[m_at] | m_data[m_at + 1] << 8)));
        return out;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// A broken property is a crash, which the fuzzer then reports with its input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            std::abort();                                                                          \
    } while (0)
