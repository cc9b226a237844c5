// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// For the tests of an interrupted run: the process kills itself at the named step, as a power
// cut would stop it (SITEPASS_TEST_KILL_AT=STEP), or pauses there for the test to act
// meanwhile (SITEPASS_TEST_STOP_AT=STEP).
void stopHereForTests(const char *step);
