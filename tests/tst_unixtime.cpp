// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "GeneralValue.h"
#include "LongToHex.h"
#include "SiteProfile.h"
#include "SitepassError.h"
#include "UnixTime.h"
#include "support/FixedClock.h"

#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {
QDateTime wall(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}
} // namespace

// Runs under several TZ settings (see CMakeLists): no machine zone rule may change a result.
class TestUnixTime : public QObject
{
    Q_OBJECT
    FixedClock m_clock{wall(2021, 3, 14, 2, 30, 0)}; // inside a US daylight-saving gap

private slots:
    void toUnixTime_data()
    {
        QTest::addColumn<QVariant>("time");
        QTest::addColumn<QVariant>("zone");
        QTest::addColumn<qint64>("seconds");
        QTest::addRow("date text at zone 8")
            << QVariant(u"2020-05-31 18:03:43"_s) << QVariant(8) << Q_INT64_C(1590919423);
        QTest::addRow("date-time value at zone 8")
            << QVariant(wall(2020, 5, 31, 18, 3, 43)) << QVariant(8) << Q_INT64_C(1590919423);
        QTest::addRow("local-zone date-time keeps its wall fields")
            << QVariant(QDateTime(QDate(2020, 5, 31), QTime(18, 3, 43))) << QVariant(8)
            << Q_INT64_C(1590919423);
        QTest::addRow("08:00 at zone 8 is the epoch")
            << QVariant(u"1970-01-01 08:00:00"_s) << QVariant(8) << Q_INT64_C(0);
        QTest::addRow("midnight 1970 at zone 8 is minus eight hours")
            << QVariant(u"1970-1-1 0:0:0"_s) << QVariant(8) << Q_INT64_C(-28800);
        QTest::addRow("zone as text")
            << QVariant(u"2020-05-31 18:03:43"_s) << QVariant(u"8"_s) << Q_INT64_C(1590919423);
        QTest::addRow("empty zone is 0")
            << QVariant(u"1970-01-01 00:00:10"_s) << QVariant() << Q_INT64_C(10);
        QTest::addRow("zone text that is no number is 0")
            << QVariant(u"1970-01-01 00:00:10"_s) << QVariant(u"east"_s) << Q_INT64_C(10);
        QTest::addRow("India moves five and a half hours")
            << QVariant(u"1970-01-01 05:30:00"_s) << QVariant(5.5) << Q_INT64_C(0);
        QTest::addRow("a negative zone")
            << QVariant(u"1969-12-31 19:00:00"_s) << QVariant(-5) << Q_INT64_C(0);
        QTest::addRow("a time in a daylight-saving gap converts plainly")
            << QVariant(u"2021-03-14 02:30:00"_s) << QVariant(0) << Q_INT64_C(1615689000);
        QTest::addRow("a repeated autumn hour converts plainly")
            << QVariant(u"2021-11-07 01:30:00"_s) << QVariant(0) << Q_INT64_C(1636248600);
        QTest::addRow("text that is no date is the clock's time")
            << QVariant(u"tomorrow"_s) << QVariant(0) << Q_INT64_C(1615689000);
        QTest::addRow("an impossible date is the clock's time")
            << QVariant(u"2021-02-30 10:00:00"_s) << QVariant(0) << Q_INT64_C(1615689000);
        QTest::addRow("an empty value is the clock's time")
            << QVariant() << QVariant(8) << Q_INT64_C(1615660200);
        QTest::addRow("the last second of 32 bits")
            << QVariant(u"2038-01-19 11:14:07"_s) << QVariant(8) << Q_INT64_C(2147483647);
        QTest::addRow("one second later")
            << QVariant(u"2038-01-19 11:14:08"_s) << QVariant(8) << Q_INT64_C(2147483648);
    }
    void toUnixTime()
    {
        QFETCH(QVariant, time);
        QFETCH(QVariant, zone);
        QFETCH(qint64, seconds);
        QCOMPARE(ToUnixTime(time, zone, m_clock), seconds);
    }

    void fromUnixTime_data()
    {
        QTest::addColumn<QVariant>("seconds");
        QTest::addColumn<QVariant>("zone");
        QTest::addColumn<QDateTime>("time");
        QTest::addRow("0 at zone 8") << QVariant(0) << QVariant(8) << wall(1970, 1, 1, 8);
        QTest::addRow("back to 2020 at zone 8")
            << QVariant(1590919423) << QVariant(8) << wall(2020, 5, 31, 18, 3, 43);
        QTest::addRow("empty zone is UTC")
            << QVariant(1590919423) << QVariant() << wall(2020, 5, 31, 10, 3, 43);
        QTest::addRow("zone text that is no number is UTC")
            << QVariant(1590919423) << QVariant(u"x"_s) << wall(2020, 5, 31, 10, 3, 43);
        QTest::addRow("seconds as text")
            << QVariant(u"1590919423"_s) << QVariant(8) << wall(2020, 5, 31, 18, 3, 43);
        QTest::addRow("empty seconds give the clock's time")
            << QVariant() << QVariant(8) << m_clock.now();
        QTest::addRow("seconds that are no number give the clock's time")
            << QVariant(u"soon"_s) << QVariant(8) << m_clock.now();
        QTest::addRow("into a daylight-saving gap")
            << QVariant(1615689000) << QVariant(0) << wall(2021, 3, 14, 2, 30);
    }
    void fromUnixTime()
    {
        QFETCH(QVariant, seconds);
        QFETCH(QVariant, zone);
        QFETCH(QDateTime, time);
        QCOMPARE(FromUnixTime(seconds, zone, m_clock), time);
    }

    void roundTripsEveryZone()
    {
        const QDateTime t = wall(2024, 2, 29, 23, 59, 59);
        for (double zone = -12; zone <= 14; zone += 0.25)
            QCOMPARE(FromUnixTime(ToUnixTime(t, zone, m_clock), zone, m_clock), t);
    }

    void refusesAbsurdZones()
    {
        QVERIFY_THROWS_EXCEPTION(SitepassError, ToUnixTime(QVariant(), 1e300, m_clock));
        QVERIFY_THROWS_EXCEPTION(SitepassError, FromUnixTime(1e300, 0, m_clock));
    }

    void readsDateText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("time");
        QTest::addRow("single digits") << "1970-1-1 0:0:0" << wall(1970, 1, 1);
        QTest::addRow("padded") << "2020-05-31 18:03:43" << wall(2020, 5, 31, 18, 3, 43);
        QTest::addRow("slashes, no seconds") << "2020/5/31 18:03" << wall(2020, 5, 31, 18, 3);
        QTest::addRow("date only") << "2020-05-31" << wall(2020, 5, 31);
        QTest::addRow("ISO T") << "2020-05-31T18:03:43" << wall(2020, 5, 31, 18, 3, 43);
        QTest::addRow("a number is no date") << "16" << QDateTime();
        QTest::addRow("hour 24") << "2020-05-31 24:00:00" << QDateTime();
        QTest::addRow("month 13") << "2020-13-01" << QDateTime();
        QTest::addRow("junk after") << "2020-05-31 x" << QDateTime();
    }
    void readsDateText()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, time);
        QCOMPARE(GeneralValue::parseDateText(text).value_or(QDateTime()), time);
    }

    void encodesHex_data()
    {
        QTest::addColumn<qint32>("value");
        QTest::addColumn<QString>("hex");
        QTest::addRow("a 2020 timestamp") << 1590919423 << "5ED380FF";
        QTest::addRow("255") << 255 << "FF";
        QTest::addRow("16") << 16 << "10";
        QTest::addRow("10") << 10 << "A";
        QTest::addRow("9") << 9 << "9";
        QTest::addRow("1") << 1 << "1";
        QTest::addRow("largest") << 2147483647 << "7FFFFFFF";
        QTest::addRow("zero is empty") << 0 << "";
        QTest::addRow("negative is empty") << -1 << "";
        QTest::addRow("smallest is empty") << qint32(-2147483647 - 1) << "";
    }
    void encodesHex()
    {
        QFETCH(qint32, value);
        QFETCH(QString, hex);
        QCOMPARE(LongToHex(value), hex);
    }

    void timeTokenFitsOnly32Bits_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("token");
        QTest::addRow("2020") << wall(2020, 5, 31, 18, 3, 43) << "5ED380FF";
        QTest::addRow("last second that fits") << wall(2038, 1, 19, 11, 14, 7) << "7FFFFFFF";
        QTest::addRow("first that does not") << wall(2038, 1, 19, 11, 14, 8) << QString();
        QTest::addRow("before 1970 08:00 is no token") << wall(1970, 1, 1, 7) << "";
        QTest::addRow("a clock that cannot be read") << QDateTime() << QString();
    }
    void timeTokenFitsOnly32Bits()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, token);
        const FixedClock clock(now);
        if (token.isNull()) {
            QVERIFY_THROWS_EXCEPTION(SitepassError, SiteProfile::timeToken(clock));
        } else {
            QCOMPARE(SiteProfile::timeToken(clock), token);
        }
    }
};

QTEST_APPLESS_MAIN(TestUnixTime)
#include "tst_unixtime.moc"
