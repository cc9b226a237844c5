// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"

class ChunkedOutput;

namespace CommandLine {

// site add DOMAIN: the whole site on this server (its user, folders, database, settings, pool,
// web server file), checked before anything changes, undone in reverse when a step fails, with
// a journal under /var/lib/sitepass that site remove reads. site remove DOMAIN, site list.
void site(const Invocation &call, ChunkedOutput &out);

} // namespace CommandLine
