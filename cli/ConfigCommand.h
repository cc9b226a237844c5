// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"

class ChunkedOutput;

namespace CommandLine {

// config FORMAT [FILE]: the profile as an application's settings, to `out` or, with --output, to
// a new file only its owner can read.
void config(const Invocation &call, ChunkedOutput &out);

} // namespace CommandLine
