// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WebSite.h"

// The site's nginx server block (two with TLS).
namespace NginxConfig {
QString build(const WebSite &site);
}
