// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileReplacement.h"
#include "OpenedFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
QByteArray name(const QString &path)
{
    return QFile::encodeName(path);
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestFileReplacement : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_file;

private slots:
    void init()
    {
        m_file = m_dir.filePath(u".env"_s);
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        write(m_file, "old");
        chmod(name(m_file).constData(), 0640);
    }

    void replacesThroughALinkBesideItsTarget()
    {
        QDir().mkpath(m_dir.filePath(u"current"_s));
        QVERIFY(symlink("../.env", name(m_dir.filePath(u"current/.env"_s)).constData()) == 0);
        FileReplacement r(m_dir.filePath(u"current/.env"_s));
        QCOMPARE(r.open(), 0);
        QCOMPARE(r.copyPath(), m_dir.filePath(u"..env.sitepass-rotate"_s));
        QCOMPARE(r.writeCopy("new"), 0);
        struct stat st;
        QCOMPARE(stat(name(r.copyPath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, 0640u); // the file's mode, not the copy's own 0600
        QCOMPARE(r.commit(), 0);
        QCOMPARE(read(m_file), "new"_ba);
        QVERIFY(QFileInfo(m_dir.filePath(u"current/.env"_s)).isSymLink());
    }

    // What a site's user (65534 here) can make of its own folders is never followed by root.
    void pathsAnotherUserControls_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("open");
        QTest::addRow("the file as that user's link in its folder") << u"site/.env"_s << ELOOP;
        QTest::addRow("a folder of the path as that user's link") << u"site/link/.env"_s << ELOOP;
        QTest::addRow("that user's link in root's folder") << u"theirs/.env"_s << ELOOP;
        QTest::addRow("a folder of a second user inside the first's")
            << u"site/other/.env"_s << OpenedFolder::otherUsersFolder;
        QTest::addRow("root's own link in root's folder") << u"ours/.env"_s << 0;
    }
    void pathsAnotherUserControls()
    {
        QFETCH(QString, path);
        QFETCH(int, open);
        if (geteuid() != 0)
            QSKIP("other users' folders need root");
        const auto at = [&](const QString &p) { return name(m_dir.filePath(p)); };
        QVERIFY(QDir().mkpath(m_dir.filePath(u"site/other"_s)));
        QCOMPARE(chown(at(u"site"_s).constData(), 65534, 65534), 0);
        QCOMPARE(chown(at(u"site/other"_s).constData(), 65533, 65533), 0);
        write(m_dir.filePath(u"site/other/.env"_s), "DB_PASSWORD=b");
        QCOMPARE(symlink(name(m_file).constData(), at(u"site/.env"_s).constData()), 0);
        QCOMPARE(symlink("..", at(u"site/link"_s).constData()), 0);
        QCOMPARE(symlink(m_dir.path().toLocal8Bit().constData(), at(u"theirs"_s).constData()), 0);
        QCOMPARE(lchown(at(u"theirs"_s).constData(), 65534, 65534), 0);
        QCOMPARE(symlink(m_dir.path().toLocal8Bit().constData(), at(u"ours"_s).constData()), 0);
        FileReplacement r(m_dir.filePath(path));
        QCOMPARE(r.open(), open);
    }

    void aFileOverTheLimitIsNotRead()
    {
        FileReplacement r(m_file, {}, 2);
        QCOMPARE(r.open(), EFBIG);
        QVERIFY(r.contents().isEmpty());
    }

    // Anyone who may read the file may lock it; the lock folder is the caller's alone, made
    // with the folders above it that are missing.
    void theLockFolderIgnoresAReadersLock()
    {
        const QString locks = m_dir.filePath(u"state/locks"_s);
        const int reader = ::open(name(m_file).constData(), O_RDONLY);
        QVERIFY(reader >= 0 && flock(reader, LOCK_SH | LOCK_NB) == 0);
        FileReplacement first(m_file, locks), second(m_file, locks);
        QCOMPARE(first.open(), 0);
        QCOMPARE(second.open(), EWOULDBLOCK);
        QCOMPARE(first.writeCopy("new"), 0);
        QVERIFY(first.copyIsCallers());
        ::close(reader);
    }

    void aCopyBesideAnotherUsersFileIsNotTheCallers()
    {
        if (geteuid() != 0)
            QSKIP("another owner needs root");
        QCOMPARE(chown(name(m_file).constData(), 65534, -1), 0);
        FileReplacement r(m_file);
        QCOMPARE(r.open(), 0);
        QCOMPARE(r.writeCopy("planted"), 0);
        QVERIFY(!r.copyIsCallers());
    }

    void oneRunAtATime()
    {
        FileReplacement first(m_file), second(m_file), third(m_file);
        QCOMPARE(first.open(), 0);
        QCOMPARE(second.open(), EWOULDBLOCK);
        // Still while the run goes on after the file has its new contents.
        QCOMPARE(first.writeCopy("new"), 0);
        QCOMPARE(first.commit(), 0);
        QCOMPARE(third.open(), EWOULDBLOCK);
    }

    void aFailedWriteLeavesNoCopy()
    {
        FileReplacement r(m_file);
        QCOMPARE(r.open(), 0);
        const rlimit small{2, RLIM_INFINITY}, saved = [] {
            rlimit l;
            getrlimit(RLIMIT_FSIZE, &l);
            return l;
        }();
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const int error = r.writeCopy("longer than two bytes");
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(error, EFBIG);
        QVERIFY(!r.hasCopy());
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u".env"_s});
    }

    void carriesTheFilesAttributes()
    {
        if (setxattr(name(m_file).constData(), "user.kept", "v", 1, 0) != 0)
            QSKIP("no user attributes on this file system");
        FileReplacement r(m_file);
        QCOMPARE(r.open(), 0);
        QCOMPARE(r.writeCopy("new"), 0);
        char value[4] = {};
        QCOMPARE(getxattr(name(r.copyPath()).constData(), "user.kept", value, sizeof value), 1);
        QCOMPARE(value[0], 'v');
    }

    // What the file's neighbours can put in the way is told apart, and never blocks.
    void strangersAtEitherName_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("open");     // the file's open()
        QTest::addColumn<int>("readCopy"); // then the copy's
        QTest::addRow("a second name for the file") << u"link file"_s << EMLINK << 0;
        QTest::addRow("a pipe as the file") << u"fifo file"_s << ESPIPE << 0;
        QTest::addRow("the file itself at the copy's name") << u"link copy"_s << 0 << EEXIST;
        QTest::addRow("a pipe at the copy's name") << u"fifo copy"_s << 0 << ESPIPE;
        QTest::addRow("a link at the copy's name") << u"symlink copy"_s << 0 << ELOOP;
        QTest::addRow("a copy of another mode") << u"mode copy"_s << 0 << EPERM;
        QTest::addRow("a copy of another owner") << u"owner copy"_s << 0 << EPERM;
        QTest::addRow("a copy of another group") << u"group copy"_s << 0 << EPERM;
    }
    void strangersAtEitherName()
    {
        QFETCH(QString, what);
        QFETCH(int, open);
        QFETCH(int, readCopy);
        const QString copy = m_dir.filePath(u"..env.sitepass-rotate"_s);
        const QByteArray f = name(m_file), c = name(copy);
        if (what == u"link file")
            QCOMPARE(link(f.constData(), name(m_dir.filePath(u"other"_s)).constData()), 0);
        if (what == u"fifo file") {
            QFile::remove(m_file);
            QCOMPARE(mkfifo(f.constData(), 0640), 0);
        }
        if (what == u"link copy")
            QCOMPARE(link(f.constData(), c.constData()), 0);
        if (what == u"fifo copy")
            QCOMPARE(mkfifo(c.constData(), 0640), 0);
        if (what == u"symlink copy")
            QCOMPARE(symlink(f.constData(), c.constData()), 0);
        if (what.endsWith(u" copy") && !QFileInfo::exists(copy) && !QFileInfo(copy).isSymLink()) {
            write(copy, "DB_PASSWORD=planted");
            chmod(c.constData(), what == u"mode copy" ? 0644 : 0640);
            if ((what == u"owner copy" || what == u"group copy") && geteuid() != 0)
                QSKIP("another owner or group needs root");
            if (what == u"owner copy")
                QCOMPARE(chown(c.constData(), 65534, -1), 0);
            if (what == u"group copy")
                QCOMPARE(chown(c.constData(), -1, 65534), 0);
        }
        FileReplacement r(m_file);
        QCOMPARE(r.open(), open);
        if (open)
            return;
        QByteArray bytes;
        QCOMPARE(r.readCopy(bytes), readCopy);
    }
};

QTEST_APPLESS_MAIN(TestFileReplacement)
#include "tst_filereplacement.moc"
