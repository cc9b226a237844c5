// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "GcryptVaultCrypto.h"
#include "KdbxFile.h"
#include "SystemRandomSource.h"
#include "VaultSites.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;
using KdbxFile::Problem;

namespace {
const QByteArray aesKdf = QByteArray::fromHex("c9d9f39a628a4460bf740d08c18a4fea");
const QByteArray argon2d = QByteArray::fromHex("ef636ddf8c29444b91f7a9a403e30a0c");
const QByteArray twofish = QByteArray::fromHex("ad68f29f576f4bb9a36ad47af965346c");
const QByteArray chacha = QByteArray::fromHex("d6038a2b8b6f4cb5a524339a31dbb59a");

template <typename T> QByteArray le(T v)
{
    QByteArray b(sizeof(T), Qt::Uninitialized);
    qToLittleEndian(v, b.data());
    return b;
}

SiteTexts profile(const QString &dbPassword)
{
    return {u"a.test"_s, u"http://a.test"_s, u"80"_s,    u"t1"_s,        u"u1"_s,
            dbPassword,  u"/admin.php"_s,    u"admin"_s, u"admin pass"_s};
}
} // namespace

class TestVault : public QObject
{
    Q_OBJECT
    GcryptVaultCrypto m_crypto;
    SystemRandomSource m_random;
    const KdbxFile::Argon2Settings m_fast{2, 1 << 20, 2};

    KdbxFile::Vault small() { return KdbxFile::create(u"t"_s, m_fast, 1781000000, m_random); }

private slots:
    // Each kind written here is read back here and by KeePassXC, a reader of its own.
    void everyCipherAndDerivationReadsBack_data()
    {
        QTest::addColumn<quint32>("version");
        QTest::addColumn<QByteArray>("cipher");
        QTest::addColumn<QByteArray>("kdf");
        QTest::addRow("KDBX 4.1, AES, Argon2id") << 0x00040001u << QByteArray() << QByteArray();
        QTest::addRow("KDBX 4.0, ChaCha20, Argon2d") << 0x00040000u << chacha << argon2d;
        QTest::addRow("KDBX 4.0, Twofish, AES-KDF") << 0x00040000u << twofish << aesKdf;
        QTest::addRow("KDBX 3.1, AES, AES-KDF, Salsa20") << 0x00030001u << QByteArray() << aesKdf;
        QTest::addRow("KDBX 3.1 with a protected binary before the entries")
            << 0x00030001u << QByteArray("binary") << aesKdf;
    }
    void everyCipherAndDerivationReadsBack()
    {
        QFETCH(quint32, version);
        QFETCH(QByteArray, cipher);
        QFETCH(QByteArray, kdf);
        KdbxFile::Vault v = small();
        v.version = version;
        // Values hidden by one stream in document order: one in Meta comes before the entries'.
        const bool binary = cipher == "binary";
        if (binary) {
            VaultXml::Element b{u"Binary"_s, {}, {}, {}, QByteArray("attached \0 bytes", 16)};
            b.attributes.append(u"ID"_s, u"0"_s);
            b.attributes.append(u"Protected"_s, u"True"_s);
            v.document.ensureChild(u"Meta").ensureChild(u"Binaries").children.append(b);
            v.document.ensureChild(u"Meta").ensureChild(u"Color").text = u" spaced "_s;
        } else if (!cipher.isEmpty()) {
            v.header[0].data = cipher;
        }
        if (kdf == aesKdf) {
            v.kdf = {{0x42, "$UUID", aesKdf}, {0x05, "R", le<quint64>(1000)}};
            if (version < 0x00040000) {
                v.header.removeIf([](const KdbxFile::Field &f) { return f.id == 11; });
                v.header += {{6, le<quint64>(1000)}, {10, le<quint32>(2)}};
            }
        } else if (!kdf.isEmpty()) {
            v.kdf[0].value = kdf;
        }
        const QByteArray key = KdbxFile::compositeKey(m_crypto, u"pässword"_s, {});
        VaultSites::store(v, u"a.test"_s,
                          VaultSites::accounts(profile(u"p 中文"_s), u"localhost"_s), 1781000000,
                          m_random);
        const QByteArray file = KdbxFile::write(v, key, m_crypto, m_random);
        QVERIFY(!file.isEmpty());
        const KdbxFile::Opened back = KdbxFile::read(file, key, m_crypto);
        QCOMPARE(back.problem, Problem::None);
        QCOMPARE(back.vault.version, version);
        QCOMPARE(VaultSites::databasePassword(back.vault, u"u1"_s, u"t1"_s), u"p 中文"_s);
        if (binary) {
            const VaultXml::Element *meta = back.vault.document.child(u"Meta");
            QCOMPARE(meta->child(u"Binaries")->child(u"Binary")->secret,
                     QByteArray("attached \0 bytes", 16));
            QCOMPARE(meta->childText(u"Color"), u" spaced "_s);
        }
        QCOMPARE(KdbxFile::read(file, KdbxFile::compositeKey(m_crypto, u"other"_s, {}), m_crypto)
                     .problem,
                 Problem::WrongKey);

        const QString keepassxc = QStandardPaths::findExecutable(u"keepassxc-cli"_s);
        if (keepassxc.isEmpty())
            QSKIP("keepassxc-cli is not installed");
        QTemporaryDir dir;
        QFile out(dir.filePath(u"v.kdbx"_s));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
        out.close();
        QProcess p;
        p.start(keepassxc, {u"show"_s, u"-s"_s, u"-a"_s, u"Password"_s, out.fileName(),
                            u"sitepass/a.test/a.test 数据库"_s});
        p.write(u"pässword\n"_s.toUtf8());
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).trimmed(), u"p 中文"_s);
    }

    // Fixed files made by keepassxc-cli (KDBX 3.1, AES-KDF) and pykeepass (KDBX 4, Argon2d).
    void readsVaultsOtherProgramsMade_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addRow("KeePassXC's KDBX 3.1")
            << u"kdbx31.kdbx"_s << u"Entry 一"_s << u"user 一"_s << u"pass 一"_s;
        QTest::addRow("pykeepass's KDBX 4")
            << u"kdbx4.kdbx"_s << u"Entry 二"_s << u"user 二"_s << u"pass 二"_s;
    }
    void readsVaultsOtherProgramsMade()
    {
        QFETCH(QString, file);
        QFETCH(QString, title);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFile f(QStringLiteral(SITEPASS_VAULT_DIR "/") + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const KdbxFile::Opened opened = KdbxFile::read(
            f.readAll(), KdbxFile::compositeKey(m_crypto, u"vector"_s, {}), m_crypto);
        QCOMPARE(opened.problem, Problem::None);
        const VaultXml::Element *group = opened.vault.document.child(u"Root")->child(u"Group");
        const VaultXml::Element *entry = group->child(u"Entry");
        QVERIFY(entry);
        QHash<QString, QString> strings;
        for (const VaultXml::Element &c : entry->children)
            if (c.name == u"String"_s) {
                const VaultXml::Element *v = c.child(u"Value");
                strings[c.childText(u"Key")] =
                    v->isProtected() ? QString::fromUtf8(v->secret) : v->text;
            }
        QCOMPARE(strings.value(u"Title"_s), title);
        QCOMPARE(strings.value(u"UserName"_s), user);
        QCOMPARE(strings.value(u"Password"_s), password);
    }

    void storingAgainKeepsHistoryAndWhatIsNotOurs()
    {
        KdbxFile::Vault v = small();
        VaultXml::Element &root = v.document.ensureChild(u"Root").ensureChild(u"Group");
        root.children.append({u"Unknown"_s, {}, u"kept"_s, {}, {}});
        VaultSites::store(v, u"a.test"_s, VaultSites::accounts(profile(u"one"_s), u"h"_s), 1,
                          m_random);
        VaultSites::store(v, u"a.test"_s, VaultSites::accounts(profile(u"two"_s), u"h"_s), 2,
                          m_random);
        VaultSites::setDatabasePassword(v, u"u1"_s, u"t1"_s, u"h"_s, u"three"_s, 3, m_random);
        const QByteArray key = KdbxFile::compositeKey(m_crypto, u"k"_s, {});
        const KdbxFile::Opened back =
            KdbxFile::read(KdbxFile::write(v, key, m_crypto, m_random), key, m_crypto);
        QCOMPARE(back.problem, Problem::None);
        const VaultXml::Element *top = back.vault.document.child(u"Root")->child(u"Group");
        QCOMPARE(top->childText(u"Unknown"), u"kept"_s);
        const VaultXml::Element *site = top->child(u"Group")->child(u"Group");
        QCOMPARE(site->childText(u"Name"), u"a.test"_s);
        QCOMPARE(std::count_if(site->children.cbegin(), site->children.cend(),
                               [](const auto &c) { return c.name == u"Entry"_s; }),
                 2);
        const VaultXml::Element *history = site->child(u"Entry")->child(u"History");
        QCOMPARE(history->children.size(), 2);
        // Every password a protected value, as KeePass keeps them (never plain in the XML).
        int passwords = 0;
        for (const VaultXml::Element &entry : site->children)
            for (const VaultXml::Element &string : entry.children)
                if (string.name == u"String"_s && string.childText(u"Key") == u"Password"_s) {
                    ++passwords;
                    QVERIFY(string.child(u"Value")->isProtected());
                }
        QCOMPARE(passwords, 2);
        QCOMPARE(VaultSites::databasePassword(back.vault, u"u1"_s, u"t1"_s), u"three"_s);
    }

    // Each rotate adds to an entry's history only as far as the vault's own limits allow.
    void historyKeepsToTheVaultsLimits_data()
    {
        QTest::addColumn<QString>("maxItems");
        QTest::addColumn<QString>("maxSize");
        QTest::addColumn<int>("kept");
        QTest::addRow("at most HistoryMaxItems") << u"2"_s << u"-1"_s << 2;
        QTest::addRow("no limit at -1") << u"-1"_s << u"-1"_s << 6;
        QTest::addRow("within HistoryMaxSize") << u"-1"_s << u"1"_s << 0;
    }
    void historyKeepsToTheVaultsLimits()
    {
        QFETCH(QString, maxItems);
        QFETCH(QString, maxSize);
        QFETCH(int, kept);
        KdbxFile::Vault v = small();
        v.document.ensureChild(u"Meta").ensureChild(u"HistoryMaxItems").text = maxItems;
        v.document.ensureChild(u"Meta").ensureChild(u"HistoryMaxSize").text = maxSize;
        VaultSites::store(v, u"a.test"_s, VaultSites::accounts(profile(u"p0"_s), u"h"_s), 1,
                          m_random);
        for (int i = 1; i <= 6; ++i)
            VaultSites::setDatabasePassword(v, u"u1"_s, u"t1"_s, u"h"_s, u"p%1"_s.arg(i), i,
                                            m_random);
        const VaultXml::Element *entry =
            v.document.child(u"Root")->child(u"Group")->child(u"Group")->child(u"Group")->child(
                u"Entry");
        const VaultXml::Element *history = entry->child(u"History");
        QCOMPARE(history->children.size(), kept);
        if (kept)
            QVERIFY(history->children.last().children.size() > 0);
        QCOMPARE(VaultSites::databasePassword(v, u"u1"_s, u"t1"_s), u"p6"_s);
    }

    // A carriage return in a value this program never touches comes back as it was.
    void aCarriageReturnSurvivesASave()
    {
        KdbxFile::Vault v = small();
        v.document.ensureChild(u"Root").ensureChild(u"Group").children.append(
            {u"Unknown"_s, {}, u"line one\r\nline two\r"_s, {}, {}});
        const QByteArray key = KdbxFile::compositeKey(m_crypto, u"k"_s, {});
        const KdbxFile::Opened back =
            KdbxFile::read(KdbxFile::write(v, key, m_crypto, m_random), key, m_crypto);
        QCOMPARE(back.problem, Problem::None);
        QCOMPARE(back.vault.document.child(u"Root")->child(u"Group")->childText(u"Unknown"),
                 u"line one\r\nline two\r"_s);
    }

    // No password part is another key than an empty password's.
    void aKeyFileAloneIsItsOwnKey()
    {
        const QByteArray file(32, 'k');
        const QByteArray alone = KdbxFile::compositeKey(m_crypto, std::nullopt, file);
        QCOMPARE(alone, m_crypto.sha256(file));
        QVERIFY(alone != KdbxFile::compositeKey(m_crypto, QString(), file));
        const KdbxFile::Opened back =
            KdbxFile::read(KdbxFile::write(small(), alone, m_crypto, m_random), alone, m_crypto);
        QCOMPARE(back.problem, Problem::None);
    }

    // KDBX 3.1 keeps its header's hash in the XML (Meta/HeaderHash): a flipped bit in the
    // inner stream's key would otherwise turn every password into garbage.
    void anAlteredByteIsNeverReadAsTheVault_data()
    {
        QTest::addColumn<quint32>("version");
        QTest::addColumn<int>("step");
        QTest::addRow("KDBX 4.1, every seventh byte") << 0x00040001u << 7;
        QTest::addRow("KDBX 3.1, every byte of its header") << 0x00030001u << 1;
    }
    void anAlteredByteIsNeverReadAsTheVault()
    {
        QFETCH(quint32, version);
        QFETCH(int, step);
        KdbxFile::Vault v = small();
        v.version = version;
        if (version < 0x00040000) {
            v.kdf = {{0x42, "$UUID", aesKdf}, {0x05, "R", le<quint64>(100)}};
            v.header.removeIf([](const KdbxFile::Field &f) { return f.id == 11; });
            v.header += {{6, le<quint64>(100)}, {10, le<quint32>(2)}};
        }
        const QByteArray key = KdbxFile::compositeKey(m_crypto, u"k"_s, {});
        const QByteArray file = KdbxFile::write(v, key, m_crypto, m_random);
        QCOMPARE(KdbxFile::read(file, key, m_crypto).problem, Problem::None);
        // 3.1's header ends with field 0 of four bytes.
        const qsizetype end = version < 0x00040000
                                  ? file.indexOf(QByteArray("\x00\x04\x00\r\n\r\n", 7)) + 7
                                  : file.size();
        QVERIFY(end > 12);
        for (qsizetype at = 0; at < end; at += step) {
            QByteArray altered = file;
            altered[at] = char(altered[at] ^ 0x01);
            const Problem p = KdbxFile::read(altered, key, m_crypto).problem;
            QVERIFY2(p != Problem::None, qPrintable(u"byte %1"_s.arg(at)));
        }
        QCOMPARE(KdbxFile::read(file.left(file.size() - 1), key, m_crypto).problem,
                 Problem::Damaged);
        QCOMPARE(KdbxFile::read("not a vault", key, m_crypto).problem, Problem::NotAVault);
    }

    // What a damaged or crafted header asks for is refused at once, never run for hours or
    // given the machine's memory.
    void boundsOnWhatAFileAsksFor_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addRow("AES-KDF rounds past two billion") << "R"_ba << le<quint64>(quint64(1) << 40);
        QTest::addRow("Argon2 lanes past 256") << "P"_ba << le<quint32>(4096);
        QTest::addRow("Argon2 memory past 4 GiB") << "M"_ba << le<quint64>(quint64(5) << 30);
        QTest::addRow("Argon2 passes past 2^32") << "I"_ba << le<quint64>((quint64(1) << 32) + 2);
    }
    void boundsOnWhatAFileAsksFor()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        KdbxFile::Vault v = small();
        if (key == "R")
            v.kdf = {{0x42, "$UUID", aesKdf}, {0x42, "S", QByteArray(32, 's')}, {0x05, "R", value}};
        else
            for (auto &entry : v.kdf) {
                if (entry.name == key)
                    entry.value = value;
                // Enough memory for the lanes asked: only the bound refuses them.
                if (key == "P" && entry.name == "M")
                    entry.value = le<quint64>(quint64(8 * 4096) << 10);
            }
        QElapsedTimer timer;
        timer.start();
        QVERIFY(KdbxFile::derive(v, KdbxFile::compositeKey(m_crypto, u"k"_s, {}), m_crypto)
                    .isEmpty());
        QVERIFY(timer.elapsed() < 2000);
    }

    void boundsOnWhatTheXmlAndItsPackingHold()
    {
        // Nested past any vault, in a key file that needs no key to be read.
        const QByteArray deep = "<KeyFile>" + QByteArray("<a>").repeated(100000) +
                                QByteArray("</a>").repeated(100000) + "</KeyFile>";
        QVERIFY(!VaultXml::read(deep, [](qsizetype) { return std::nullopt; }));
        QCOMPARE(KdbxFile::keyFileKey(m_crypto, deep), m_crypto.sha256(deep));
        bool ok = false;
        const QByteArray packed = m_crypto.gzip(QByteArray(4 << 20, '\0'), ok);
        QVERIFY(ok);
        m_crypto.gunzip(packed, 1 << 20, ok);
        QVERIFY(!ok);
    }

    void keyFilesOfEveryKind_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("key");
        const QByteArray k =
            QByteArray::fromHex("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");
        const QByteArray hash = m_crypto.sha256(k).left(4).toHex().toUpper();
        QTest::addRow("32 raw bytes") << k << k;
        QTest::addRow("64 hex digits") << k.toHex() << k;
        QTest::addRow("XML 1.0") << "<KeyFile><Meta><Version>1.00</Version></Meta><Key><Data>" +
                                        k.toBase64() + "</Data></Key></KeyFile>"
                                 << k;
        QTest::addRow("XML 2.0, its hash checked")
            << "<KeyFile><Meta><Version>2.0</Version></Meta><Key><Data Hash=\"" + hash + "\">" +
                   k.toHex(' ').toUpper() + "</Data></Key></KeyFile>"
            << k;
        QTest::addRow("XML 2.0 with a wrong hash")
            << "<KeyFile><Meta><Version>2.0</Version></Meta><Key><Data Hash=\"00000000\">" +
                   k.toHex() + "</Data></Key></KeyFile>"
            << QByteArray();
        QTest::addRow("XML 2.0 as KeePass 2.47 writes it, namespaces on its root")
            << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<KeyFile xmlns:xsd=\"x\" "
               "xmlns:xsi=\"y\">"
               "<Meta><Version>2.0</Version></Meta><Key><Data Hash=\"" +
                   hash + "\">" + k.toHex() + "</Data></Key></KeyFile>"
            << k;
        QTest::addRow("any other file, by its SHA-256")
            << QByteArray("notes") << m_crypto.sha256("notes");
        QTest::addRow("XML of another kind, by its SHA-256")
            << QByteArray("<Notes><KeyFile/></Notes>")
            << m_crypto.sha256("<Notes><KeyFile/></Notes>");
    }
    void keyFilesOfEveryKind()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, key);
        QCOMPARE(KdbxFile::keyFileKey(m_crypto, file), key);
    }
};

QTEST_APPLESS_MAIN(TestVault)
#include "tst_vault.moc"
