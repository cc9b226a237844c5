// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Runs with QT_SCALE_FACTOR=2 (see CMakeLists): the whole window scales together.
#include "Form1.h"
#include "support/FakeClipboard.h"
#include "support/FixedClock.h"
#include "support/ScriptedRandomSource.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

class TestHiDpi : public QObject
{
    Q_OBJECT
private slots:
    void scalesEveryControlTogether()
    {
        ScriptedRandomSource random;
        FixedClock clock;
        FakeClipboard clipboard;
        Form1 form(random, clock, clipboard);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.devicePixelRatio(), 2.0);
        QCOMPARE(form.size() * form.devicePixelRatio(), QSize(1656, 772));

        // Positions stay in the same logical pixels, so on screen each is twice as far.
        auto *jieguo = form.findChild<QLineEdit *>(QStringLiteral("ss_jieguo"));
        QCOMPARE(jieguo->mapTo(&form, QPoint()) * 2, QPoint(864, 592));

        // The banner comes from its 2x picture, not blown up from the 1x one.
        const QPixmap banner = form.findChild<QLabel *>(QStringLiteral("Image1"))->pixmap();
        QCOMPARE(banner.devicePixelRatio(), 2.0);
        QCOMPARE(banner.size(), QSize(590, 172));
    }
};

QTEST_MAIN(TestHiDpi)
#include "tst_hidpi.moc"
