// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServerPrograms.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;

class TestServerPrograms : public QObject
{
    Q_OBJECT
private slots:
    // A program that hangs (a stuck php-fpm -t, a reload that never returns) fails by its limit.
    void aRunSucceedsOnlyWhenTheProgramEndsWell_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<bool>("ok");
        QTest::addRow("a program that ends well") << QStringList{u"true"_s} << true;
        QTest::addRow("a program that fails") << QStringList{u"false"_s} << false;
        QTest::addRow("a program that hangs past its limit")
            << QStringList{u"sleep"_s, u"30"_s} << false;
        QTest::addRow("a program that is not there") << QStringList{u"/nonexistent/x"_s} << false;
    }
    void aRunSucceedsOnlyWhenTheProgramEndsWell()
    {
        QFETCH(QStringList, command);
        QFETCH(bool, ok);
        QElapsedTimer timer;
        timer.start();
        const ServerPrograms::Run run = ServerPrograms::run(command.first(), command.mid(1), 500);
        QCOMPARE(run.ok(), ok);
        QVERIFY(timer.elapsed() < 10000);
        if (command.first() == u"sleep")
            QVERIFY(run.output.contains(u"sleep"_s));
    }
};

QTEST_APPLESS_MAIN(TestServerPrograms)
#include "tst_serverprograms.moc"
