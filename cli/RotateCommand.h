// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"

namespace CommandLine {

// rotate FORMAT FILE: a new database password, on the server and in the site's settings file,
// in an order that never loses it; a run killed midway is finished or undone by the next. One
// line on standard error says what changed; returns the new password's line for standard output
// with --show-password, otherwise nothing.
QString rotate(const Invocation &call);

} // namespace CommandLine
