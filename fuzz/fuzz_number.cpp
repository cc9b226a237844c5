// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzInput.h"
#include "Password.h"
#include "SitepassError.h"
#include "TextServices.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const QString text = in.rest();
    const auto value = TextServices::tryTextToNumber(text);
    FUZZ_CHECK(!value || std::isfinite(*value));
    try {
        const qsizetype length = Password::lengthFromText(text);
        FUZZ_CHECK(value && length >= 0 && length <= Password::maxLength);
    } catch (const SitepassError &) {
        FUZZ_CHECK(!value || std::floor(*value) > Password::maxLength);
    }
    return 0;
}
