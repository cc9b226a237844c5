// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestStops.h"

#include <QLatin1String>
#include <QString>
#include <QtGlobal>

#include <csignal>
#include <cstdlib>

void stopHereForTests(const char *step)
{
#ifdef SIGSTOP
    // Paused, for a test to change the files as another user would meanwhile.
    if (qEnvironmentVariable("SITEPASS_TEST_STOP_AT") == QLatin1String(step))
        raise(SIGSTOP);
#endif
    if (qEnvironmentVariable("SITEPASS_TEST_KILL_AT") != QLatin1String(step))
        return;
#ifdef SIGKILL
    raise(SIGKILL);
#else
    std::abort();
#endif
}
