// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "QtClipboard.h"
#include "SystemClock.h"
#include "SystemRandomSource.h"

// The real services the program runs with; tests hand in their own instead.
struct SystemServices
{
    SystemRandomSource random;
    SystemClock clock;
    QtClipboard clipboard;
};
