// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SiteFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
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

    // A log the web server will open is a plain file: a pipe someone holds open is refused.
    void preparesOnlyAPlainFile()
    {
        const QByteArray pipe = QFile::encodeName(at(u"site/access.log"_s));
        QCOMPARE(mkfifo(pipe.constData(), 0600), 0);
        const int reader = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QCOMPARE(SiteFiles::prepareFile(at(u"site/access.log"_s), {}, {}, 0640), ESPIPE);
        ::close(reader);
    }

    // An application's tree: its links followed, a file there replaced, the skipped name kept.
    void copiesATreeIntoTheSite()
    {
        QVERIFY(QDir().mkpath(at(u"app/inc"_s)));
        touch(at(u"app/inc/lib.php"_s));
        QVERIFY(QFile::link(at(u"other/canary"_s), at(u"app/linked.php"_s)));
        QFile index(at(u"app/index.php"_s)), placeholder(at(u"site/index.php"_s)),
            config(at(u"site/config.php"_s));
        QVERIFY(index.open(QIODevice::WriteOnly) && index.write("app") == 3);
        index.close();
        QVERIFY(placeholder.open(QIODevice::WriteOnly) && config.open(QIODevice::WriteOnly));
        QVERIFY(config.write("ours") == 4);
        config.close();
        touch(at(u"app/config.php"_s));
        QVERIFY(QFile::setPermissions(at(u"app"_s),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(
            SiteFiles::copyTree(at(u"app"_s), at(u"site"_s), {}, {}, 0640, 0750, {u"config.php"_s}),
            0);
        QCOMPARE(QFile(at(u"site/index.php"_s)).size(), 3);
        QCOMPARE(QFile(at(u"site/config.php"_s)).size(), 4);
        QVERIFY(QFileInfo(at(u"site/linked.php"_s)).isFile() &&
                !QFileInfo(at(u"site/linked.php"_s)).isSymLink());
        struct stat folder;
        QCOMPARE(stat(QFile::encodeName(at(u"site/inc"_s)).constData(), &folder), 0);
        QCOMPARE(folder.st_mode & 07777, 0750u);
        // A source that others may write is not copied from.
        QVERIFY(QFile::setPermissions(at(u"app"_s),
                                      QFile::permissions(at(u"app"_s)) | QFile::WriteOther));
        QCOMPARE(SiteFiles::copyTree(at(u"app"_s), at(u"site"_s), {}, {}, 0640, 0750, {}), EPERM);
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
