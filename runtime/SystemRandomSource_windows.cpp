// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemRandomSource.h"

#include <QtGlobal>
#include <algorithm>
#include <limits>
#include <windows.h>

#include <bcrypt.h> // after windows.h, which it needs

void SystemRandomSource::kernelBytes(unsigned char *bytes, std::size_t size)
{
    // The system's preferred CSPRNG, the one Windows itself seeds and reseeds.
    while (size > 0) {
        const ULONG chunk = ULONG(std::min<std::size_t>(size, std::numeric_limits<ULONG>::max()));
        if (!BCRYPT_SUCCESS(
                BCryptGenRandom(nullptr, bytes, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            qFatal("sitepass: the system random number generator failed");
        bytes += chunk;
        size -= chunk;
    }
}
