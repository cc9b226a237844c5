// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "GuiPlatform.h"

// X11 and Wayland: Qt's own choice (fontconfig finds the CJK font) is the right one.
void prepareGuiPlatform() {}
