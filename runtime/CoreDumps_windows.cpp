// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreDumps.h"

namespace CoreDumps {
void disable() {}
} // namespace CoreDumps
