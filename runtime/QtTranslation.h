// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCoreApplication;
class QTranslator;

// Qt's own words (dialog buttons, context menus, command-line help) in Simplified Chinese, like
// the rest of the program, whatever the user's locale. False when the catalogue is missing; the
// program then still runs, with Qt's English words.
bool installQtChinese(QCoreApplication &app, QTranslator &translator);
