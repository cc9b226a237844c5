// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Caesar.h"
#include "FuzzInput.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    double offset = 0;
    if (size >= sizeof offset) {
        std::memcpy(&offset, data, sizeof offset);
        data += sizeof offset;
        size -= sizeof offset;
    }
    FuzzInput in(data, size);
    const QString text = in.rest();
    const QString out = Caesar(text, offset);
    FUZZ_CHECK(out.size() == text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t a = text.at(i).unicode();
        const char16_t b = out.at(i).unicode();
        const bool upper = a >= u'A' && a <= u'Z';
        const bool lower = a >= u'a' && a <= u'z';
        FUZZ_CHECK(upper == (b >= u'A' && b <= u'Z'));
        FUZZ_CHECK(lower == (b >= u'a' && b <= u'z'));
        FUZZ_CHECK(upper || lower || a == b);
    }
    return 0;
}
