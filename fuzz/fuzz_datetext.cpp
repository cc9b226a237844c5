// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Clock.h"
#include "FuzzInput.h"
#include "GeneralValue.h"
#include "SitepassError.h"
#include "UnixTime.h"
#include <QTimeZone>

namespace {
class Fixed final : public Clock
{
public:
    QDateTime now() const override
    {
        return QDateTime(QDate(2020, 5, 31), QTime(18, 3, 43), QTimeZone::utc());
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const QString zone = in.text(32);
    const QString time = in.rest();
    if (const auto parsed = GeneralValue::parseDateText(time))
        FUZZ_CHECK(parsed->isValid());
    try {
        const qint64 seconds = ToUnixTime(time, zone, Fixed());
        // What goes in comes back out, whatever the zone.
        const QDateTime back = FromUnixTime(seconds, zone, Fixed());
        FUZZ_CHECK(back == GeneralValue::dateTime(time).value_or(Fixed().now()));
    } catch (const SitepassError &) {
        // An absurd zone is refused, never wrapped.
    }
    return 0;
}
