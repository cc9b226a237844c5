// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "NewFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

using namespace Qt::StringLiterals;

class TestNewFile : public QObject
{
    Q_OBJECT
private slots:
    void neverReplacesAFileThatAppearedMeanwhile_data()
    {
        QTest::addColumn<NewFile::Naming>("naming");
        QTest::addRow("written unnamed") << NewFile::Naming::Unnamed;
        QTest::addRow("written under a temporary name") << NewFile::Naming::Temporary;
    }
    void neverReplacesAFileThatAppearedMeanwhile()
    {
        QFETCH(NewFile::Naming, naming);
        QTemporaryDir dir;
        const QString target = dir.filePath(u"c.php"_s);
        {
            NewFile file(target, {}, naming);
            QCOMPARE(file.open(), 0);
            file.device().write("new");
            QFile other(target);
            QVERIFY(other.open(QIODevice::WriteOnly));
            other.write("someone's work");
            other.close();
            QCOMPARE(file.commit(), EEXIST);
        }
        QFile kept(target);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("someone's work"));
        // Nothing of the refused file is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"c.php"_s});

        NewFile again(dir.filePath(u"d.php"_s), {}, naming);
        QCOMPARE(again.open(), 0);
        again.device().write("whole");
        QCOMPARE(again.commit(), 0);
        QFile made(dir.filePath(u"d.php"_s));
        QVERIFY(made.open(QIODevice::ReadOnly));
        QCOMPARE(made.readAll(), QByteArray("whole"));
        QCOMPARE(QDir(dir.path())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                     .size(),
                 2);
    }
};

QTEST_GUILESS_MAIN(TestNewFile)
#include "tst_newfile.moc"
