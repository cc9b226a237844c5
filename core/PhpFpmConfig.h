// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WebSite.h"

// The site's PHP-FPM pool.
namespace PhpFpmConfig {
QString build(const WebSite &site);
}
