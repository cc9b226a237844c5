// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreDumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace CoreDumps {
void disable()
{
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    // Also for a handler in core_pattern (systemd-coredump), which may not heed the limit.
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}
} // namespace CoreDumps
