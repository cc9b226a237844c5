// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Settles what the platform needs before the QApplication exists; a setting the user gave in
// the environment wins.
void prepareGuiPlatform();
