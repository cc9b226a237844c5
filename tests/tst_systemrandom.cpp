// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CharacterPool.h"
#include "Password.h"
#include "SystemRandomSource.h"

#include <QSet>
#include <QTest>
#include <array>

Q_DECLARE_METATYPE(PasswordSettings)

// What must always hold for passwords from the kernel's random source.
class TestSystemRandom : public QObject
{
    Q_OBJECT
private slots:
    void valuesStayInRangeOn24Bits()
    {
        SystemRandomSource random;
        for (int i = 0; i < 200000; ++i) {
            const float r = random.next();
            QVERIFY(r >= 0.0f && r < 1.0f);
            QCOMPARE(double(r) * 16777216.0, std::floor(double(r) * 16777216.0));
        }
    }

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
            ++counts[Password::drawPosition(random.next(), pool.size()) - 1];
        const double expected = double(draws) / 72;
        double chi2 = 0;
        for (int c : counts)
            chi2 += (c - expected) * (c - expected) / expected;
        QVERIFY2(chi2 < 150.0, qPrintable(QString::number(chi2)));
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
