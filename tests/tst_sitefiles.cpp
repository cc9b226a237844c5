// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}
} // namespace

class TestSiteFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString at(const QString &path) const { return m_dir.filePath(path); }

private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(at(u"site/deep/er"_s)));
        QVERIFY(QDir().mkpath(at(u"other"_s)));
        touch(at(u"other/canary"_s));
        touch(at(u"site/deep/er/file"_s));
    }

    // Links inside go as links: what they point to stays.
    void removesATreeWithoutFollowingItsLinks_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addRow("a link to a folder") << u"site/deep/to-other"_s;
        QTest::addRow("a link to a file") << u"site/deep/er/to-canary"_s;
    }
    void removesATreeWithoutFollowingItsLinks()
    {
        QFETCH(QString, link);
        const QString target = link.endsWith(u"canary") ? at(u"other/canary"_s) : at(u"other"_s);
        QVERIFY(QFile::link(target, at(link)));
        QCOMPARE(SiteFiles::remove(at(u"site"_s)), 0);
        QVERIFY(!QFileInfo::exists(at(u"site"_s)));
        QVERIFY(QFileInfo::exists(at(u"other/canary"_s)));
    }

    // A path through another user's link is refused, not followed.
    void refusesAPathThroughAnotherUsersLink()
    {
        if (geteuid() != 0)
            QSKIP("another user's folder needs root");
        QCOMPARE(chown(QFile::encodeName(at(u"site"_s)).constData(), 65534, 65534), 0);
        QVERIFY(QFile::link(at(u"other"_s), at(u"site/public"_s)));
        QCOMPARE(SiteFiles::remove(at(u"site/public/canary"_s)), ELOOP);
        QCOMPARE(SiteFiles::writeFile(at(u"site/public/new"_s), u"x"_s, {}, {}, 0600), ELOOP);
        QVERIFY(QFileInfo::exists(at(u"other/canary"_s)));
        QVERIFY(!QFileInfo::exists(at(u"other/new"_s)));
    }

    void sweepsOnlyWhatTheUserOwns()
    {
        if (geteuid() != 0)
            QSKIP("another owner needs root");
        touch(at(u"other/theirs"_s));
        QCOMPARE(chown(QFile::encodeName(at(u"other/theirs"_s)).constData(), 65534, 65534), 0);
        QCOMPARE(chown(QFile::encodeName(at(u"site/deep"_s)).constData(), 65534, 65534), 0);
        QStringList removed;
        QCOMPARE(SiteFiles::removeOwnedBy(m_dir.path(), 65534, removed), 0);
        removed.sort();
        QCOMPARE(removed, (QStringList{at(u"other/theirs"_s), at(u"site/deep"_s)}));
        QVERIFY(QFileInfo::exists(at(u"other/canary"_s)));
        QVERIFY(QFileInfo::exists(at(u"site"_s)));
    }
};

QTEST_APPLESS_MAIN(TestSiteFiles)
#include "tst_sitefiles.moc"
