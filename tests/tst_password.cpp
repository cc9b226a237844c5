// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CharacterPool.h"
#include "Password.h"
#include "SitepassError.h"
#include "support/ScriptedRandomSource.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
PasswordSettings settings(bool upper, bool lower, bool digits, bool special,
                          const QString &specialText = u"!@#$%^&*()"_s,
                          const QString &length = u"16"_s)
{
    return {upper, lower, digits, special, specialText, length};
}

QString poolText(const CharacterPool &pool)
{
    QString all;
    for (qsizetype k = 1; k <= pool.size(); ++k)
        all += pool.entry(k);
    return all;
}
} // namespace

Q_DECLARE_METATYPE(PasswordSettings)
Q_DECLARE_METATYPE(SitepassError::Kind)

class TestPassword : public QObject
{
    Q_OBJECT
private slots:
    void buildsThePool_data()
    {
        QTest::addColumn<PasswordSettings>("settings");
        QTest::addColumn<QString>("pool");
        QTest::addColumn<qsizetype>("entries");
        const QString letters = CharacterPool::upperCase + CharacterPool::lowerCase;
        QTest::addRow("the defaults: upper, lower, digits")
            << PasswordSettings{} << letters + CharacterPool::digits << qsizetype(62);
        QTest::addRow("all four classes")
            << settings(true, true, true, true) << letters + CharacterPool::digits + "!@#$%^&*()"
            << qsizetype(72);
        QTest::addRow("specials trimmed of spaces only")
            << settings(false, false, false, true, u"  a b  "_s) << u"a b"_s << qsizetype(3);
        QTest::addRow("repeats are kept")
            << settings(false, false, false, true, u"!!!!"_s) << u"!!!!"_s << qsizetype(4);
        QTest::addRow("specials are not read when unchecked")
            << settings(false, false, true, false, u"xyz"_s) << CharacterPool::digits
            << qsizetype(10);
        QTest::addRow("nothing checked")
            << settings(false, false, false, false) << QString() << qsizetype(0);
        QTest::addRow("only spaces as specials")
            << settings(false, false, false, true, u"   "_s) << QString() << qsizetype(0);
        QTest::addRow("a surrogate pair is one entry")
            << settings(false, false, false, true, u"a\U0001F510b"_s) << u"a\U0001F510b"_s
            << qsizetype(3);
        QTest::addRow("a pair after the digits")
            << settings(false, false, true, true, u"a\U0001F510"_s)
            << CharacterPool::digits + u"a\U0001F510"_s << qsizetype(12);
        QTest::addRow("a pair beside lone halves of the same kind (found by fuzzing)")
            << settings(false, false, false, true, u"\U0001F510"_s + QChar(0xDD10) + QChar(0xD83D))
            << u"\U0001F510"_s + QChar(0xDD10) + QChar(0xD83D) << qsizetype(3);
        QTest::addRow("a lone surrogate is its own entry")
            << settings(false, false, false, true, QString(QChar(0xD800)) + u"x"_s)
            << QString(QChar(0xD800)) + u"x"_s << qsizetype(2);
    }
    void buildsThePool()
    {
        QFETCH(PasswordSettings, settings);
        QFETCH(QString, pool);
        QFETCH(qsizetype, entries);
        const CharacterPool built(settings);
        QCOMPARE(built.size(), entries);
        QCOMPARE(poolText(built), pool);
    }

    void readsTheLength_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("length");
        QTest::addRow("a fraction rounds down") << "16.7" << qsizetype(16);
        QTest::addRow("negative") << "-3" << qsizetype(0);
        QTest::addRow("negative fraction") << "-3.5" << qsizetype(0);
        QTest::addRow("zero") << "0" << qsizetype(0);
        QTest::addRow("below one") << "0.9" << qsizetype(0);
        QTest::addRow("minus zero") << "-0" << qsizetype(0);
        QTest::addRow("the limit") << "100000" << qsizetype(100000);
        QTest::addRow("just above the limit rounds down to it") << "100000.5" << qsizetype(100000);
        QTest::addRow("a huge negative") << "-1e300" << qsizetype(0);
    }
    void readsTheLength()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, length);
        QCOMPARE(Password::lengthFromText(text), length);
    }

    void refusesBadLengths_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<SitepassError::Kind>("kind");
        QTest::addRow("empty") << "" << SitepassError::Kind::NotANumber;
        QTest::addRow("letters") << "abc" << SitepassError::Kind::NotANumber;
        QTest::addRow("1e999") << "1e999" << SitepassError::Kind::NotANumber;
        QTest::addRow("over the limit") << "100001" << SitepassError::Kind::LengthTooLarge;
        QTest::addRow("twenty digits")
            << "99999999999999999999" << SitepassError::Kind::LengthTooLarge;
        QTest::addRow("2^31") << "2147483648" << SitepassError::Kind::LengthTooLarge;
        QTest::addRow("2^32") << "4294967296" << SitepassError::Kind::LengthTooLarge;
    }
    void refusesBadLengths()
    {
        QFETCH(QString, text);
        QFETCH(SitepassError::Kind, kind);
        ScriptedRandomSource random;
        PasswordSettings s;
        s.lengthText = text;
        try {
            RandPass(s, random);
            QFAIL("no error thrown");
        } catch (const SitepassError &e) {
            QCOMPARE(e.kind(), kind);
            QCOMPARE(e.text(), text);
        }
        // The run stops before the first draw.
        QCOMPARE(random.log(), u"R"_s);
    }

    void drawsExactPositions_data()
    {
        QTest::addColumn<PasswordSettings>("settings");
        QTest::addColumn<QList<float>>("values");
        QTest::addColumn<QString>("password");
        // 62 entries: r = 0 is "A", the largest r below 1 is "9"; the last value is the offset.
        QTest::addRow("first and last entry, offset 26 leaves letters")
            << settings(true, true, true, false, {}, u"3"_s)
            << QList<float>{0.0f, largestBelowOne, 0.5f, 25.5f / 62.0f} << u"A9f"_s;
        QTest::addRow("offset 1 rotates letters only")
            << settings(true, true, true, false, {}, u"2"_s) << QList<float>{0.0f, 0.999f, 0.0f}
            << u"B9"_s;
        QTest::addRow("two letters as specials, rotated by offset 2")
            << settings(false, false, false, true, u" ab "_s, u"3"_s)
            << QList<float>{0.0f, 0.5f, 0.49f, largestBelowOne} << u"cdc"_s;
        QTest::addRow("exclamation marks survive rotation")
            << settings(false, false, false, true, u"!!!!"_s, u"4"_s)
            << QList<float>{0.1f, 0.3f, 0.6f, 0.9f, 0.7f} << u"!!!!"_s;
        QTest::addRow("a space can be drawn")
            << settings(false, false, false, true, u"# $"_s, u"3"_s)
            << QList<float>{0.0f, 0.5f, 0.9f, 0.0f} << u"# $"_s;
        QTest::addRow("a surrogate pair is drawn whole")
            << settings(false, false, false, true, u"\U0001F510x"_s, u"2"_s)
            << QList<float>{0.0f, 0.0f, 0.0f} << u"\U0001F510\U0001F510"_s;
        QTest::addRow("the last entry is a pair after the digits")
            << settings(false, false, true, true, u"\U0001F510"_s, u"2"_s)
            << QList<float>{0.0f, largestBelowOne, 0.0f} << u"0\U0001F510"_s;
        QTest::addRow("two lone halves drawn side by side (found by fuzzing)")
            << settings(false, false, false, true, QString(QChar(0xDD10)) + u"x"_s + QChar(0xD83D),
                        u"2"_s)
            << QList<float>{largestBelowOne, 0.0f, 0.0f} << QString(QChar(0xD83D)) + QChar(0xDD10);
        QTest::addRow("empty pool draws nothing")
            << settings(false, false, false, false) << QList<float>{} << QString();
        QTest::addRow("length below one still draws the offset")
            << settings(true, true, true, false, {}, u"0.5"_s) << QList<float>{} << QString();
    }
    void drawsExactPositions()
    {
        QFETCH(PasswordSettings, settings);
        QFETCH(QList<float>, values);
        QFETCH(QString, password);
        ScriptedRandomSource random(values);
        QCOMPARE(RandPass(settings, random), password);
        // Reseed once before any draw, then length + 1 values.
        const qsizetype length = Password::lengthFromText(settings.lengthText);
        QCOMPARE(random.log(), u"R"_s + QString(length + 1, u'N'));
    }

    void everyClassRedrawsUntilEachClassShows_data()
    {
        QTest::addColumn<PasswordSettings>("settings");
        QTest::addColumn<QList<float>>("values");
        QTest::addColumn<QString>("password");
        // Pool "0123456789#": "00" lacks the special class, "0#" has both.
        QTest::addRow("the special class is required")
            << settings(false, false, true, true, u"#"_s, u"2"_s)
            << QList<float>{0.0f, 0.0f, 0.0f, 0.0f, largestBelowOne, 0.0f} << u"0#"_s;
        // Pool A-Z then 0-9: "AB" lacks a digit; offset 1 turns "A9" into "B9".
        QTest::addRow("the digit class is required")
            << settings(true, false, true, false, {}, u"2"_s)
            << QList<float>{0.0f, 1.5f / 36, 0.0f, 0.0f, largestBelowOne, 0.0f} << u"B9"_s;
    }
    void everyClassRedrawsUntilEachClassShows()
    {
        QFETCH(PasswordSettings, settings);
        QFETCH(QList<float>, values);
        QFETCH(QString, password);
        ScriptedRandomSource random(values);
        const CharacterPool pool(settings);
        QCOMPARE(Password::fromPoolWithEveryClass(pool, 2, settings, random), password);
        QCOMPARE(random.log(), u"RNNNRNNN"_s);
    }

    void everyClassChanceCountsEachClass()
    {
        // Upper and digits, length 2: one of each in either order, 2 * 26 * 10 of 36^2.
        const PasswordSettings twoClasses = settings(true, false, true, false, {}, u"2"_s);
        QCOMPARE(Password::everyClassChance(CharacterPool(twoClasses), 2, twoClasses),
                 520.0 / 1296.0);
        // A special "#" beside the digits: 2 * 10 * 1 of 11^2.
        const PasswordSettings special = settings(false, false, true, true, u"#"_s, u"2"_s);
        QCOMPARE(Password::everyClassChance(CharacterPool(special), 2, special), 20.0 / 121.0);
        // One class always shows.
        const PasswordSettings one = settings(false, true, false, false, {}, u"1"_s);
        QCOMPARE(Password::everyClassChance(CharacterPool(one), 1, one), 1.0);
    }

    void everyValueStaysInsideThePool()
    {
        for (qsizetype n : {1, 2, 62, 72, 100000}) {
            QCOMPARE(RandomSource::positionOf(0.0f, n), qsizetype(1));
            QCOMPARE(RandomSource::positionOf(largestBelowOne, n), n);
        }
        QCOMPARE(RandomSource::positionOf(largestBelowOne, 0), qsizetype(1));
    }

    void aSourceOutsideItsRangeStaysInsideThePool_data()
    {
        QTest::addColumn<PasswordSettings>("settings");
        QTest::addColumn<QString>("password");
        QTest::addRow("digits") << settings(false, false, true, false, {}, u"3"_s) << u"909"_s;
        QTest::addRow("a letter and a surrogate pair")
            << settings(false, false, false, true, u"a\U0001F510"_s, u"3"_s)
            << u"\U0001F510b\U0001F510"_s;
    }
    void aSourceOutsideItsRangeStaysInsideThePool()
    {
        QFETCH(PasswordSettings, settings);
        QFETCH(QString, password);
        ScriptedRandomSource random({1.0f, -0.5f, 7.0f, 0.0f});
        QCOMPARE(RandPass(settings, random), password);
    }

    void generatePasswordUsesTheFixedAlphabetUnrotated_data()
    {
        QTest::addColumn<double>("length");
        QTest::addColumn<QList<float>>("values");
        QTest::addColumn<QString>("password");
        QTest::addRow("lower case comes first")
            << 3.0 << QList<float>{0.0f, 26.5f / 62, largestBelowOne} << u"aA9"_s;
        QTest::addRow("a fraction rounds down") << 1.9 << QList<float>{0.0f, 0.0f} << u"a"_s;
        QTest::addRow("below one draws nothing") << 0.5 << QList<float>{} << QString();
        QTest::addRow("negative draws nothing") << -4.0 << QList<float>{} << QString();
    }
    void generatePasswordUsesTheFixedAlphabetUnrotated()
    {
        QFETCH(double, length);
        QFETCH(QList<float>, values);
        QFETCH(QString, password);
        ScriptedRandomSource random(values);
        QCOMPARE(GeneratePassword(length, random), password);
        QCOMPARE(random.log(), u"R"_s + QString(password.size(), u'N'));
    }

    void generatePasswordRefusesHugeLengths()
    {
        ScriptedRandomSource random;
        QVERIFY_THROWS_EXCEPTION(SitepassError, GeneratePassword(1e9, random));
    }

    void captionReportsTheLengthInCodeUnits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::addRow("sixteen") << QString(16, u'x') << u"密码生成器 v1  密码长度：16"_s;
        QTest::addRow("empty") << QString() << u"密码生成器 v1  密码长度：0"_s;
        QTest::addRow("a surrogate pair counts two")
            << u"\U0001F510"_s << u"密码生成器 v1  密码长度：2"_s;
        QTest::addRow("the limit") << QString(100000, u'x') << u"密码生成器 v1  密码长度：100000"_s;
    }
    void captionReportsTheLengthInCodeUnits()
    {
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QCOMPARE(Password::lengthCaption(text), caption);
    }
};

QTEST_APPLESS_MAIN(TestPassword)
#include "tst_password.moc"
