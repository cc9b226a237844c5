// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A process that holds passwords leaves no core file behind, nor lets another process of its
// user read its memory (Linux; nothing on Windows, where the command does not run).
namespace CoreDumps {
void disable();
}
