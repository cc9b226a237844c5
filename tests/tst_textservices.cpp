// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Password.h"
#include "SitepassError.h"
#include "TextServices.h"

#include <QTest>

using namespace Qt::StringLiterals;
#include <limits>

class TestTextServices : public QObject
{
    Q_OBJECT
private slots:
    void readsNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addRow("plain digits") << "16" << 16.0;
        QTest::addRow("spaces around") << " 16 " << 16.0;
        QTest::addRow("a fraction") << "16.7" << 16.7;
        QTest::addRow("a negative fraction") << "-3.5" << -3.5;
        QTest::addRow("an explicit plus") << "+5" << 5.0;
        QTest::addRow("an exponent") << "1e2" << 100.0;
        QTest::addRow("minus zero") << "-0" << 0.0;
        QTest::addRow("leading zeros") << "0016" << 16.0;
        QTest::addRow("ten digits") << "1234567890" << 1234567890.0;
        QTest::addRow("full-width digits from an input method") << u"１６"_s << 16.0;
    }
    void readsNumbers()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(TextServices::tryTextToNumber(text), std::optional<double>(value));
    }

    void refusesWhatIsNoFiniteNumber_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *t :
             {"", "   ", "abc", "16abc", "inf", "-inf", "nan", "1e999", "1,000", "0x10", "1 6"})
            QTest::addRow("\"%s\"", t) << QString::fromLatin1(t);
    }
    void refusesWhatIsNoFiniteNumber()
    {
        QFETCH(QString, text);
        QVERIFY(!TextServices::tryTextToNumber(text));
        // As a password length it is refused with an error naming the field.
        try {
            Password::lengthFromText(text);
            QFAIL("no error thrown");
        } catch (const SitepassError &e) {
            QCOMPARE(e.kind(), SitepassError::Kind::NotANumber);
            QCOMPARE(e.text(), text);
        }
    }

    void convertsTo32BitWithoutWrapping_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("fits");
        QTest::addRow("largest") << 2147483647.0 << true;
        QTest::addRow("smallest") << -2147483648.0 << true;
        QTest::addRow("one past the largest") << 2147483648.0 << false;
        QTest::addRow("one below the smallest") << -2147483649.0 << false;
        QTest::addRow("not a number") << std::numeric_limits<double>::quiet_NaN() << false;
        QTest::addRow("infinite") << std::numeric_limits<double>::infinity() << false;
    }
    void convertsTo32BitWithoutWrapping()
    {
        QFETCH(double, value);
        QFETCH(bool, fits);
        if (fits) {
            QCOMPARE(double(*TextServices::toInt32(value)), value);
        } else {
            QVERIFY(!TextServices::toInt32(value));
        }
    }

    void trimsOnlyPlainSpaces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::addRow("spaces both ends") << "  ab  "
                                          << "ab";
        QTest::addRow("inner spaces kept") << " a b "
                                           << "a b";
        QTest::addRow("tabs kept") << "\tab\t"
                                   << "\tab\t";
        QTest::addRow("all spaces") << "    "
                                    << "";
        QTest::addRow("ideographic space kept") << u"\u3000a"_s << u"\u3000a"_s;
    }
    void trimsOnlyPlainSpaces()
    {
        QFETCH(QString, text);
        QFETCH(QString, trimmed);
        QCOMPARE(TextServices::trimSpaces(text).toString(), trimmed);
    }
};

QTEST_APPLESS_MAIN(TestTextServices)
#include "tst_textservices.moc"
