// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Caesar.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestCaesar : public QObject
{
    Q_OBJECT
private slots:
    void rotates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("offset");
        QTest::addColumn<QString>("rotated");
        QTest::addRow("empty text stays empty") << "" << 5.0 << "";
        QTest::addRow("Z and z wrap, digits stay") << "Zz9" << 1.0 << "Aa9";
        QTest::addRow("three places keeps case") << "abcXYZ" << 3.0 << "defABC";
        QTest::addRow("26 is a full turn") << "Hello" << 26.0 << "Hello";
        QTest::addRow("27 acts like 1") << "Hello" << 27.0 << "Ifmmp";
        QTest::addRow("62 acts like 10") << "abz" << 62.0 << "klj";
        QTest::addRow("neighbours of the letter ranges stay") << "@[`{" << 5.0 << "@[`{";
        QTest::addRow("accented, full-width and Chinese stay")
            << u"éＡａ密码"_s << 4.0 << u"éＡａ密码"_s;
        QTest::addRow("specials stay") << "!@#$%^&*() " << 13.0 << "!@#$%^&*() ";
        QTest::addRow("a surrogate pair stays whole")
            << u"a\U0001F600"_s << 1.0 << u"b\U0001F600"_s;
        QTest::addRow("a negative offset moves back") << "aZ" << -1.0 << "zY";
        QTest::addRow("a huge offset still wraps") << "a" << 26e12 + 1 << "b";
        QTest::addRow("a fraction rounds") << "a" << 1.4 << "b";
    }
    void rotates()
    {
        QFETCH(QString, text);
        QFETCH(double, offset);
        QFETCH(QString, rotated);
        const QString before = text;
        QCOMPARE(Caesar(text, offset), rotated);
        QCOMPARE(text, before);
    }

    void keepsLengthAndClassOfEveryCharacter()
    {
        QString all;
        for (char16_t u = 0x20; u < 0x250; ++u)
            all.append(QChar(u));
        for (int offset = 1; offset <= 100; ++offset) {
            const QString out = Caesar(all, offset);
            QCOMPARE(out.size(), all.size());
            for (qsizetype i = 0; i < all.size(); ++i) {
                const char16_t a = all.at(i).unicode();
                const char16_t b = out.at(i).unicode();
                const bool upper = a >= u'A' && a <= u'Z';
                const bool lower = a >= u'a' && a <= u'z';
                QCOMPARE(b >= u'A' && b <= u'Z', upper);
                QCOMPARE(b >= u'a' && b <= u'z', lower);
                if (!upper && !lower)
                    QCOMPARE(b, a);
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestCaesar)
#include "tst_caesar.moc"
