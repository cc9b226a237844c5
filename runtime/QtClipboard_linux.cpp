// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtClipboard.h"

// Linux desktops have no clipboard history of the system's own: Klipper, fcitx5 and CopyQ read
// the markers every secret already carries.
void QtClipboard::addSystemSecretMarkers(QMimeData &) {}
