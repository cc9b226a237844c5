// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WebSite.h"

// The site's Apache 2.4 VirtualHost (two with TLS), PHP through proxy_fcgi.
namespace ApacheConfig {
QString build(const WebSite &site);
}
