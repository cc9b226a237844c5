// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CharacterPool.h"
#include "Password.h"
#include "SystemRandomSource.h"

#include <QHash>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <array>
#include <new>

Q_DECLARE_METATYPE(PasswordSettings)

// What must always hold for passwords from the kernel's random source.
class TestSystemRandom : public QObject
{
    Q_OBJECT
private slots:
    void passwordsHaveTheLengthAndOnlyPoolCharacters_data()
    {
        QTest::addColumn<PasswordSettings>("settings");
        QTest::addRow("defaults") << PasswordSettings{};
        QTest::addRow("all four classes") << PasswordSettings{
            true, true, true, true, QStringLiteral("!@#$%^&*()"), QStringLiteral("37")};
        QTest::addRow("digits and specials only") << PasswordSettings{
            false, false, true, true, QStringLiteral("-_"), QStringLiteral("9")};
    }
    void passwordsHaveTheLengthAndOnlyPoolCharacters()
    {
        QFETCH(PasswordSettings, settings);
        SystemRandomSource random;
        const CharacterPool pool(settings);
        QSet<QChar> allowed;
        for (qsizetype k = 1; k <= pool.size(); ++k)
            allowed.insert(pool.entry(k).at(0));
        const qsizetype length = Password::lengthFromText(settings.lengthText);
        for (int run = 0; run < 5000; ++run) {
            const QString password = RandPass(settings, random);
            QCOMPARE(password.size(), length);
            for (QChar c : password)
                QVERIFY2(allowed.contains(c), qPrintable(password));
        }
    }

    // 500000 draws over 72 entries; 71 degrees of freedom. P(chi2 > 150) is about 2e-7, so a
    // sound source fails this far less than once in a million runs.
    void drawsAreEvenlySpread()
    {
        SystemRandomSource random;
        const CharacterPool pool(
            PasswordSettings{true, true, true, true, QStringLiteral("!@#$%^&*()"), {}});
        QCOMPARE(pool.size(), qsizetype(72));
        std::array<int, 72> counts{};
        constexpr int draws = 504000;
        for (int i = 0; i < draws; ++i)
            ++counts[random.position(pool.size()) - 1];
        const double expected = double(draws) / 72;
        double chi2 = 0;
        for (int c : counts)
            chi2 += (c - expected) * (c - expected) / expected;
        QVERIFY2(chi2 < 150.0, qPrintable(QString::number(chi2)));
    }

    // A fresh source fed the given bytes: the first try of a draw is exactly these bytes.
    void rejectsTheUnevenTopAndSpreadsTheRestEvenly_data()
    {
        QTest::addColumn<qsizetype>("n");
        QTest::addColumn<int>("bytes");        // per try
        QTest::addColumn<quint64>("rejected"); // the smallest value a try drops
        QTest::addRow("62 entries") << qsizetype(62) << 1 << quint64(248);
        QTest::addRow("72 entries") << qsizetype(72) << 1 << quint64(216);
        QTest::addRow("200 entries") << qsizetype(200) << 1 << quint64(200);
        QTest::addRow("256 entries: nothing dropped") << qsizetype(256) << 1 << quint64(256);
        QTest::addRow("300 entries take two bytes") << qsizetype(300) << 2 << quint64(65400);
        QTest::addRow("65536 entries: two bytes, nothing dropped")
            << qsizetype(65536) << 2 << quint64(65536);
    }
    void rejectsTheUnevenTopAndSpreadsTheRestEvenly()
    {
        QFETCH(qsizetype, n);
        QFETCH(int, bytes);
        QFETCH(quint64, rejected);
        // Little-endian tries of `bytes` bytes: first `value`, then zeros.
        const auto drawFrom = [&](quint64 value) {
            SystemRandomSource source([value, bytes](unsigned char *out, std::size_t size) {
                std::fill(out, out + size, 0);
                for (int i = 0; i < bytes; ++i)
                    out[i] = (value >> (8 * i)) & 0xFF;
            });
            const qsizetype k = source.position(n);
            return std::make_pair(k, source.bytesUsed());
        };
        if (rejected < (quint64(1) << (8 * bytes))) {
            QCOMPARE(drawFrom(rejected).second, quint64(2 * bytes)); // dropped: a second try
            QCOMPARE(drawFrom(rejected).first, qsizetype(1));
        }
        QCOMPARE(drawFrom(rejected - 1).second, quint64(bytes));
        // Every accepted value once, in a row from one source: each lands on one position,
        // and every position gets as many values as every other.
        quint64 nextValue = 0;
        int nextByte = 0;
        SystemRandomSource all([&](unsigned char *out, std::size_t size) {
            for (std::size_t i = 0; i < size; ++i) {
                out[i] = (nextValue >> (8 * nextByte)) & 0xFF;
                if (++nextByte == bytes)
                    nextByte = 0, ++nextValue;
            }
        });
        QHash<qsizetype, int> counts;
        for (quint64 value = 0; value < rejected; ++value)
            ++counts[all.position(n)];
        QCOMPARE(all.bytesUsed(), rejected * quint64(bytes));
        QCOMPARE(counts.size(), n);
        for (const auto &[k, count] : counts.asKeyValueRange()) {
            QVERIFY(k >= 1 && k <= n);
            QCOMPARE(quint64(count), rejected / quint64(n));
        }
    }

    void destructionWipesTheWholeBuffer()
    {
        // 0xA5 everywhere; after one draw nearly all of the block is still unused.
        alignas(SystemRandomSource) unsigned char storage[sizeof(SystemRandomSource)];
        auto *source = new (storage) SystemRandomSource(
            [](unsigned char *out, std::size_t size) { std::fill(out, out + size, 0xA5); });
        source->position(62);
        source->~SystemRandomSource();
        const unsigned char run[16] = {0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5,
                                       0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5};
        QVERIFY(std::search(storage, storage + sizeof storage, run, run + 16) ==
                storage + sizeof storage);
    }

    void consecutivePasswordsNeverRepeat()
    {
        SystemRandomSource random;
        QSet<QString> seen;
        seen.reserve(100000);
        const PasswordSettings settings;
        for (int i = 0; i < 100000; ++i)
            seen.insert(RandPass(settings, random));
        QCOMPARE(seen.size(), qsizetype(100000));
    }
};

QTEST_APPLESS_MAIN(TestSystemRandom)
#include "tst_systemrandom.moc"
