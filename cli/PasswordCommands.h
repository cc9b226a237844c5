// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"

class ChunkedOutput;

namespace CommandLine {

// password: passwords one a line, streamed as they are drawn.
void password(const Invocation &call, ChunkedOutput &out);

// profile DOMAIN: the site report (or its JSON), made whole before anything is printed.
QString profile(const Invocation &call);

} // namespace CommandLine
