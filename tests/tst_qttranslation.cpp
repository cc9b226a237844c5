// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtTranslation.h"

#include <QCoreApplication>
#include <QTest>
#include <QTranslator>

using namespace Qt::StringLiterals;

// Qt's own words in Chinese: from the system's catalogue on Linux, from the copy built into the
// program on Windows.
class TestQtTranslation : public QObject
{
    Q_OBJECT
private slots:
    void qtsOwnWordsAreChinese()
    {
        QTranslator translator;
        QVERIFY(installQtChinese(*QCoreApplication::instance(), translator));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), u"确定"_s);
    }
};

QTEST_GUILESS_MAIN(TestQtTranslation)
#include "tst_qttranslation.moc"
