// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt clipboard service on a real X server, beside another client (xclip).
#include "QtClipboard.h"
#include "SitepassError.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

class TestQtClipboard : public QObject
{
    Q_OBJECT

    static QString paste()
    {
        QProcess xclip;
        xclip.start(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-o"_s});
        // When this process owns the clipboard it must answer xclip's request meanwhile.
        QDeadlineTimer deadline(5000);
        while (xclip.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            xclip.waitForFinished(10);
        }
        return QString::fromUtf8(xclip.readAllStandardOutput());
    }

private slots:
    void aSecretTextPastesAsWrittenWithTheHistoryMarkers()
    {
        QtClipboard clipboard;
        clipboard.setText(u"报告\r\n"_s, Clipboard::Content::Secret);
        QCOMPARE(paste(), u"报告\r\n"_s);
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        for (const QString &marker :
             {u"application/x-copyq-hidden"_s, u"application/x-copyq-secret"_s})
            QCOMPARE(data->data(marker), QByteArray("1"));
        QCOMPARE(data->data(u"x-kde-passwordManagerHint"_s), QByteArray("secret"));
    }

    void anotherProgramHoldingTheClipboardIsReported()
    {
        QtClipboard clipboard;
        // The moment our write has taken the clipboard, and before it is read back, xclip takes
        // it over, and the test waits until the X server has told us so (xclip's background
        // half claims the selection after its foreground half exits). The read-back then always
        // meets the other program's text.
        QClipboard *system = QGuiApplication::clipboard();
        const auto takeover = connect(system, &QClipboard::dataChanged, this, [&] {
            disconnect(system, &QClipboard::dataChanged, this, nullptr);
            QCOMPARE(QProcess::execute(u"sh"_s,
                                       {u"-c"_s, u"printf other | xclip -selection clipboard"_s}),
                     0);
            QDeadlineTimer deadline(5000);
            while (system->ownsClipboard() && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QVERIFY(!system->ownsClipboard());
        });
        QVERIFY(takeover);
        try {
            clipboard.setText(u"report"_s, Clipboard::Content::Secret);
            QFAIL("the write was reported as done");
        } catch (const SitepassError &e) {
            QCOMPARE(e.kind(), SitepassError::Kind::ClipboardNotTaken);
        }
        QCOMPARE(paste(), u"other"_s);
    }
};

QTEST_MAIN(TestQtClipboard)
#include "tst_qtclipboard.moc"
