// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"

namespace CommandLine {

// sql DIALECT [FILE]: the script that makes the profile's database and user.
QString sql(const Invocation &call);

} // namespace CommandLine
