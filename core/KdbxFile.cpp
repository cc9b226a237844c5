// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "KdbxFile.h"

#include "RandomSource.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QtEndian>
#include <optional>

using namespace Qt::StringLiterals;

namespace KdbxFile {

namespace {
constexpr quint32 signature1 = 0x9AA2D903, signature2 = 0xB54BFB67;
constexpr qsizetype blockSize = 1 << 20;
// Beyond any real vault; a file that claims more is refused before it is unpacked.
constexpr qsizetype maxInflated = qsizetype(512) << 20;

enum HeaderId : quint8 {
    End = 0,
    CipherId = 2,
    Compression = 3,
    MasterSeed = 4,
    TransformSeed = 5,
    TransformRounds = 6,
    EncryptionIv = 7,
    ProtectedStreamKey = 8,
    StreamStartBytes = 9,
    InnerRandomStreamId = 10,
    KdfParameters = 11,
};
enum InnerId : quint8 { InnerEnd = 0, InnerStreamId = 1, InnerStreamKey = 2 };
enum StreamId : quint32 { Salsa20Stream = 2, ChaCha20Stream = 3 };

const QByteArray aesUuid = QByteArray::fromHex("31c1f2e6bf714350be5805216afc5aff");
const QByteArray twofishUuid = QByteArray::fromHex("ad68f29f576f4bb9a36ad47af965346c");
const QByteArray chachaUuid = QByteArray::fromHex("d6038a2b8b6f4cb5a524339a31dbb59a");
const QByteArray aesKdfUuid = QByteArray::fromHex("c9d9f39a628a4460bf740d08c18a4fea");
const QByteArray argon2dUuid = QByteArray::fromHex("ef636ddf8c29444b91f7a9a403e30a0c");
const QByteArray argon2idUuid = QByteArray::fromHex("9e298b1956db4773b23dfc3ec6f0a1e6");
const QByteArray salsaNonce = QByteArray::fromHex("e830094b97205d2a");

template <typename T> QByteArray le(T value)
{
    QByteArray bytes(sizeof(T), Qt::Uninitialized);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// Reads little-endian numbers and byte runs, failing once past the end rather than reading on.
struct Cursor
{
    const QByteArray &bytes;
    qsizetype at = 0;
    bool ok = true;

    QByteArray take(qsizetype n)
    {
        if (!ok || n < 0 || n > bytes.size() - at) {
            ok = false;
            return {};
        }
        const QByteArray out = bytes.mid(at, n);
        at += n;
        return out;
    }
    template <typename T> T number()
    {
        const QByteArray b = take(sizeof(T));
        return ok ? qFromLittleEndian<T>(b.constData()) : T(0);
    }
};

QByteArray fieldData(const QList<Field> &fields, quint8 id)
{
    for (const Field &f : fields)
        if (f.id == id)
            return f.data;
    return {};
}

void setField(QList<Field> &fields, quint8 id, const QByteArray &data)
{
    for (Field &f : fields)
        if (f.id == id) {
            f.data = data;
            return;
        }
    fields.append({id, data});
}

QByteArray variant(const QList<Variant> &items, const char *name)
{
    for (const Variant &v : items)
        if (v.name == name)
            return v.value;
    return {};
}

void setVariant(QList<Variant> &items, quint8 type, const char *name, const QByteArray &value)
{
    for (Variant &v : items)
        if (v.name == name) {
            v.value = value;
            return;
        }
    items.append({type, name, value});
}

std::optional<QList<Variant>> readVariants(const QByteArray &bytes)
{
    Cursor c{bytes};
    const quint16 version = c.number<quint16>();
    if (!c.ok || (version >> 8) != 1)
        return std::nullopt;
    QList<Variant> items;
    for (;;) {
        const quint8 type = c.number<quint8>();
        if (!c.ok)
            return std::nullopt;
        if (type == 0)
            return items;
        Variant v;
        v.type = type;
        v.name = c.take(c.number<qint32>());
        v.value = c.take(c.number<qint32>());
        if (!c.ok)
            return std::nullopt;
        items.append(v);
    }
}

QByteArray writeVariants(const QList<Variant> &items)
{
    QByteArray out = le<quint16>(0x0100);
    for (const Variant &v : items)
        out += char(v.type) + le<qint32>(qint32(v.name.size())) + v.name +
               le<qint32>(qint32(v.value.size())) + v.value;
    return out + char(0);
}

std::optional<VaultCrypto::Cipher> cipherOf(const QByteArray &uuid)
{
    if (uuid == aesUuid)
        return VaultCrypto::Cipher::Aes256Cbc;
    if (uuid == twofishUuid)
        return VaultCrypto::Cipher::Twofish256Cbc;
    if (uuid == chachaUuid)
        return VaultCrypto::Cipher::ChaCha20;
    return std::nullopt;
}

// The transformed key, or nothing with the problem: the derivation the header names.
QByteArray transformedKey(const Vault &v, const QByteArray &composite, VaultCrypto &crypto,
                          Problem &problem)
{
    bool ok = false;
    QByteArray derived;
    const auto aesKdf = [&](const QByteArray &seed, const QByteArray &rounds) {
        if (seed.size() != 32 || rounds.size() != 8) {
            problem = Problem::Damaged;
            return QByteArray();
        }
        // KDBX 3.1 has no hash over its header: a damaged count must not run for hours. Real
        // vaults take tens of millions; this is minutes.
        const quint64 count = qFromLittleEndian<quint64>(rounds.constData());
        if (count > (quint64(1) << 31)) {
            problem = Problem::Unsupported;
            return QByteArray();
        }
        derived = crypto.aesRounds(composite, seed, count, ok);
        return ok ? crypto.sha256(derived) : QByteArray();
    };
    if (v.major() < 4) {
        return aesKdf(fieldData(v.header, TransformSeed), fieldData(v.header, TransformRounds));
    }
    const QByteArray uuid = variant(v.kdf, "$UUID");
    const QByteArray salt = variant(v.kdf, "S");
    if (uuid == aesKdfUuid) {
        return aesKdf(salt, variant(v.kdf, "R"));
    }
    if (uuid != argon2dUuid && uuid != argon2idUuid) {
        problem = Problem::Unsupported;
        return {};
    }
    const QByteArray iterations = variant(v.kdf, "I"), memory = variant(v.kdf, "M"),
                     lanes = variant(v.kdf, "P"), version = variant(v.kdf, "V");
    if (iterations.size() != 8 || memory.size() != 8 || lanes.size() != 4 || salt.isEmpty()) {
        problem = Problem::Damaged;
        return {};
    }
    // A secret or associated data in the parameters is not something a vault we know uses.
    if (!variant(v.kdf, "K").isEmpty() || !variant(v.kdf, "A").isEmpty() ||
        (version.size() == 4 && qFromLittleEndian<quint32>(version.constData()) != 0x13)) {
        problem = Problem::Unsupported;
        return {};
    }
    const quint64 i = qFromLittleEndian<quint64>(iterations.constData());
    const quint64 m = qFromLittleEndian<quint64>(memory.constData()) / 1024;
    const quint32 p = qFromLittleEndian<quint32>(lanes.constData());
    // Bounds a crafted header could otherwise use to take every second or byte of memory.
    if (i == 0 || i > 0xFFFFFFFFu || m < 8 || m > (quint64(4) << 20) || p == 0 || p > 256) {
        problem = Problem::Unsupported;
        return {};
    }
    derived = crypto.argon2(uuid == argon2idUuid ? VaultCrypto::Argon2::Id : VaultCrypto::Argon2::D,
                            composite, salt, quint32(i), m, p, ok);
    if (!ok)
        problem = Problem::Unsupported;
    return ok ? derived : QByteArray();
}

VaultXml::KeyStream protectedStream(VaultCrypto &crypto, quint32 id, const QByteArray &key)
{
    return [&crypto, id, key](qsizetype length) -> std::optional<QByteArray> {
        bool ok = false;
        QByteArray stream;
        if (id == Salsa20Stream) {
            stream = crypto.keyStream(VaultCrypto::Stream::Salsa20, crypto.sha256(key), salsaNonce,
                                      length, ok);
        } else if (id == ChaCha20Stream) {
            const QByteArray h = crypto.sha512(key);
            stream = crypto.keyStream(VaultCrypto::Stream::ChaCha20, h.left(32), h.mid(32, 12),
                                      length, ok);
        }
        return ok ? std::optional<QByteArray>(stream) : std::nullopt;
    };
}

QByteArray hmacKey(VaultCrypto &crypto, quint64 index, const QByteArray &base)
{
    return crypto.sha512(le<quint64>(index) + base);
}

QByteArray headerBytes(const Vault &v, const QList<Field> &fields)
{
    QByteArray out = le<quint32>(signature1) + le<quint32>(signature2) + le<quint32>(v.version);
    const auto add = [&](quint8 id, const QByteArray &data) {
        out += char(id);
        out +=
            v.major() < 4 ? le<quint16>(quint16(data.size())) : le<quint32>(quint32(data.size()));
        out += data;
    };
    for (const Field &f : fields)
        add(f.id, f.data);
    add(End, v.headerEnd);
    return out;
}

bool blockCipher(VaultCrypto::Cipher cipher)
{
    return cipher != VaultCrypto::Cipher::ChaCha20;
}

QByteArray pad(const QByteArray &data)
{
    const int n = 16 - int(data.size() % 16);
    return data + QByteArray(n, char(n));
}

// Nothing when the padding does not check out.
std::optional<QByteArray> unpad(const QByteArray &data)
{
    const int n = data.isEmpty() ? 0 : quint8(data.back());
    if (n < 1 || n > 16 || n > data.size() || data.right(n) != QByteArray(n, char(n)))
        return std::nullopt;
    return data.left(data.size() - n);
}

Opened damaged(Problem p = Problem::Damaged)
{
    return {p, {}};
}
} // namespace

QByteArray randomBytes(RandomSource &random, qsizetype count)
{
    QByteArray out(count, Qt::Uninitialized);
    for (char &c : out)
        c = char(random.position(256) - 1);
    return out;
}

QString newUuid(RandomSource &random)
{
    return QString::fromLatin1(randomBytes(random, 16).toBase64());
}

QString timeText(const Vault &vault, qint64 unixSeconds)
{
    if (vault.major() < 4)
        return QDateTime::fromSecsSinceEpoch(unixSeconds)
            .toUTC()
            .toString(u"yyyy-MM-ddTHH:mm:ssZ"_s);
    constexpr qint64 yearOneToEpoch = 62135596800;
    return QString::fromLatin1(le<qint64>(unixSeconds + yearOneToEpoch).toBase64());
}

QByteArray compositeKey(VaultCrypto &crypto, const std::optional<QString> &password,
                        const QByteArray &keyFileKey)
{
    QByteArray parts = password ? crypto.sha256(password->toUtf8()) : QByteArray();
    parts += keyFileKey;
    const QByteArray composite = crypto.sha256(parts);
    parts.fill('\0');
    return composite;
}

QByteArray keyFileKey(VaultCrypto &crypto, const QByteArray &file)
{
    if (file.size() == 32)
        return file;
    if (file.size() == 64) {
        const QByteArray hex = QByteArray::fromHex(file);
        if (hex.size() == 32 && hex.toHex() == file.toLower())
            return hex;
    }
    // An XML key file by its root element, whatever attributes it carries (KeePass 2.47 writes
    // namespaces there); any other file, XML or not, by its hash.
    const std::optional<VaultXml::Element> xml =
        file.trimmed().startsWith('<') || file.startsWith("\xEF\xBB\xBF")
            ? VaultXml::read(file, [](qsizetype) { return std::nullopt; })
            : std::nullopt;
    if (xml && xml->name == u"KeyFile") {
        const VaultXml::Element *key = xml ? xml->child(u"Key") : nullptr;
        const VaultXml::Element *data = key ? key->child(u"Data") : nullptr;
        const VaultXml::Element *meta = xml ? xml->child(u"Meta") : nullptr;
        if (!data || !meta)
            return {};
        const QString version = meta->childText(u"Version");
        if (version.startsWith(u"1."_s)) {
            const QByteArray k = QByteArray::fromBase64(data->text.trimmed().toLatin1());
            return k.size() == 32 ? k : QByteArray();
        }
        if (version.startsWith(u"2."_s)) {
            QString hex = data->text;
            hex.remove(QRegularExpression(u"\\s"_s));
            const QByteArray k = QByteArray::fromHex(hex.toLatin1());
            const QByteArray check =
                QByteArray::fromHex(data->attributes.value(u"Hash"_s).toLatin1());
            if (k.size() != 32 || crypto.sha256(k).left(4) != check)
                return {};
            return k;
        }
        return {};
    }
    return crypto.sha256(file);
}

namespace {
// The outer header, up to its end field; the cursor stops after it.
Problem parseHeader(Cursor &c, Vault &v)
{
    if (c.number<quint32>() != signature1 || c.number<quint32>() != signature2 || !c.ok)
        return Problem::NotAVault;
    v.version = c.number<quint32>();
    if (!c.ok)
        return Problem::Damaged;
    if (v.major() != 3 && v.major() != 4)
        return Problem::Unsupported;
    for (;;) {
        const quint8 id = c.number<quint8>();
        const qint64 size =
            v.major() < 4 ? qint64(c.number<quint16>()) : qint64(c.number<quint32>());
        const QByteArray data = c.take(size);
        if (!c.ok)
            return Problem::Damaged;
        if (id == End) {
            v.headerEnd = data;
            break;
        }
        v.header.append({id, data});
    }
    if (v.major() >= 4) {
        const auto kdf = readVariants(fieldData(v.header, KdfParameters));
        if (!kdf)
            return Problem::Damaged;
        v.kdf = *kdf;
    }
    return Problem::None;
}
} // namespace

std::optional<Vault> readHeader(const QByteArray &file)
{
    Cursor c{file};
    Vault v;
    if (parseHeader(c, v) != Problem::None)
        return std::nullopt;
    return v;
}

Opened read(const QByteArray &file, const QByteArray &composite, VaultCrypto &crypto)
{
    Cursor c{file};
    Vault v;
    if (const Problem p = parseHeader(c, v); p != Problem::None)
        return damaged(p);
    const QByteArray header = file.left(c.at);
    const auto cipher = cipherOf(fieldData(v.header, CipherId));
    const QByteArray compression = fieldData(v.header, Compression);
    const QByteArray masterSeed = fieldData(v.header, MasterSeed);
    const QByteArray iv = fieldData(v.header, EncryptionIv);
    if (!cipher)
        return damaged(Problem::Unsupported);
    if (compression.size() != 4 || masterSeed.size() != 32 || iv.isEmpty())
        return damaged();
    const quint32 compressed = qFromLittleEndian<quint32>(compression.constData());
    if (compressed > 1)
        return damaged(Problem::Unsupported);

    // KDBX 4 hashes its header: damage there is found before the key derivation runs on
    // parameters it may have changed.
    QByteArray headerHmac;
    if (v.major() >= 4) {
        const QByteArray hash = c.take(32);
        headerHmac = c.take(32);
        if (!c.ok || crypto.sha256(header) != hash)
            return damaged();
    }
    Problem problem = Problem::None;
    QByteArray transformed = transformedKey(v, composite, crypto, problem);
    if (problem != Problem::None)
        return damaged(problem);
    if (transformed.isEmpty())
        return damaged(Problem::Unsupported);
    const QByteArray key = crypto.sha256(masterSeed + transformed);
    bool ok = false;
    QByteArray payload;
    quint32 streamId = 0;
    QByteArray streamKey;

    if (v.major() >= 4) {
        const QByteArray base = crypto.sha512(masterSeed + transformed + char(1));
        transformed.fill('\0');
        if (crypto.hmacSha256(hmacKey(crypto, ~quint64(0), base), header) != headerHmac)
            return damaged(Problem::WrongKey);
        QByteArray encrypted;
        for (quint64 index = 0;; ++index) {
            const QByteArray mac = c.take(32);
            const qint32 size = c.number<qint32>();
            const QByteArray data = c.take(size);
            if (!c.ok)
                return damaged();
            if (crypto.hmacSha256(hmacKey(crypto, index, base),
                                  le<quint64>(index) + le<qint32>(size) + data) != mac)
                return damaged();
            if (size == 0)
                break;
            encrypted += data;
        }
        if (blockCipher(*cipher) && encrypted.size() % 16 != 0)
            return damaged();
        const QByteArray plain = crypto.decrypt(*cipher, key, iv, encrypted, ok);
        const auto unpadded = blockCipher(*cipher) ? unpad(plain) : std::optional(plain);
        if (!ok || !unpadded)
            return damaged();
        payload = *unpadded;
    } else {
        const QByteArray encrypted = file.mid(c.at);
        if (encrypted.isEmpty() || encrypted.size() % 16 != 0)
            return damaged();
        if (!blockCipher(*cipher))
            return damaged(Problem::Unsupported);
        QByteArray decrypted = crypto.decrypt(*cipher, key, iv, encrypted, ok);
        const QByteArray start = fieldData(v.header, StreamStartBytes);
        // The start bytes are how 3.1 tells a wrong key; after them the blocks' hashes tell damage.
        if (!ok || start.size() != 32 || !decrypted.startsWith(start))
            return damaged(Problem::WrongKey);
        auto unpadded = unpad(decrypted);
        decrypted.fill('\0');
        if (!unpadded)
            return damaged();
        QByteArray &plain = *unpadded;
        Cursor b{plain, 32};
        for (;;) {
            b.number<quint32>();
            const QByteArray hash = b.take(32);
            const qint64 size = b.number<quint32>();
            const QByteArray data = b.take(size);
            if (!b.ok)
                return damaged();
            if (size == 0) {
                if (hash != QByteArray(32, '\0'))
                    return damaged();
                break;
            }
            if (crypto.sha256(data) != hash)
                return damaged();
            payload += data;
        }
        plain.fill('\0');
        const QByteArray id = fieldData(v.header, InnerRandomStreamId);
        streamId = id.size() == 4 ? qFromLittleEndian<quint32>(id.constData()) : 0;
        streamKey = fieldData(v.header, ProtectedStreamKey);
    }
    if (compressed) {
        const QByteArray inflated = crypto.gunzip(payload, maxInflated, ok);
        payload.fill('\0');
        if (!ok)
            return damaged();
        payload = inflated;
    }
    qsizetype xmlStart = 0;
    if (v.major() >= 4) {
        Cursor in{payload};
        for (;;) {
            const quint8 id = in.number<quint8>();
            const QByteArray data = in.take(in.number<qint32>());
            if (!in.ok)
                return damaged();
            if (id == InnerEnd)
                break;
            if (id == InnerStreamId && data.size() == 4)
                streamId = qFromLittleEndian<quint32>(data.constData());
            else if (id == InnerStreamKey)
                streamKey = data;
            else
                v.inner.append({id, data});
        }
        xmlStart = in.at;
    }
    if (streamId != Salsa20Stream && streamId != ChaCha20Stream)
        return damaged(Problem::Unsupported);
    const auto document =
        VaultXml::read(payload.mid(xmlStart), protectedStream(crypto, streamId, streamKey));
    payload.fill('\0');
    if (!document || document->name != u"KeePassFile"_s || !document->child(u"Root"))
        return damaged();
    v.document = *document;
    if (v.major() < 4) {
        const VaultXml::Element *meta = v.document.child(u"Meta");
        const QString recorded = meta ? meta->childText(u"HeaderHash") : QString();
        if (!recorded.isEmpty() &&
            QByteArray::fromBase64(recorded.toLatin1()) != crypto.sha256(header))
            return damaged();
    }
    return {Problem::None, v};
}

Vault reseeded(const Vault &given, RandomSource &random)
{
    Vault v = given;
    const auto cipher = cipherOf(fieldData(v.header, CipherId));
    setField(v.header, MasterSeed, randomBytes(random, 32));
    setField(v.header, EncryptionIv,
             randomBytes(random, cipher == VaultCrypto::Cipher::ChaCha20 ? 12 : 16));
    if (v.major() < 4) {
        setField(v.header, TransformSeed, randomBytes(random, 32));
        setField(v.header, StreamStartBytes, randomBytes(random, 32));
        setField(v.header, ProtectedStreamKey, randomBytes(random, 32));
    } else {
        setVariant(v.kdf, 0x42, "S", randomBytes(random, 32));
        setField(v.header, KdfParameters, writeVariants(v.kdf));
    }
    return v;
}

QByteArray derive(const Vault &vault, const QByteArray &composite, VaultCrypto &crypto)
{
    Problem problem = Problem::None;
    return transformedKey(vault, composite, crypto, problem);
}

QByteArray write(const Vault &vault, const QByteArray &composite, VaultCrypto &crypto,
                 RandomSource &random)
{
    const Vault v = reseeded(vault, random);
    QByteArray transformed = derive(v, composite, crypto);
    const QByteArray out = writeReseeded(v, transformed, crypto, random);
    transformed.fill('\0');
    return out;
}

QByteArray writeReseeded(const Vault &given, const QByteArray &transformed, VaultCrypto &crypto,
                         RandomSource &random)
{
    Vault v = given;
    const auto cipher = cipherOf(fieldData(v.header, CipherId));
    if (!cipher || transformed.isEmpty())
        return {};
    quint32 streamId = ChaCha20Stream;
    QByteArray streamKey;
    if (v.major() < 4) {
        const QByteArray id = fieldData(v.header, InnerRandomStreamId);
        streamId = id.size() == 4 ? qFromLittleEndian<quint32>(id.constData()) : Salsa20Stream;
        streamKey = fieldData(v.header, ProtectedStreamKey);
    } else {
        streamKey = randomBytes(random, 64);
    }
    const QByteArray header = headerBytes(v, v.header);
    if (v.major() < 4)
        v.document.ensureChild(u"Meta").ensureChild(u"HeaderHash").text =
            QString::fromLatin1(crypto.sha256(header).toBase64());

    const auto xml = VaultXml::write(v.document, protectedStream(crypto, streamId, streamKey));
    if (!xml)
        return {};
    QByteArray payload;
    if (v.major() >= 4) {
        payload = char(InnerStreamId) + le<qint32>(4) + le<quint32>(streamId) +
                  char(InnerStreamKey) + le<qint32>(64) + streamKey;
        for (const Field &f : v.inner)
            payload += char(f.id) + le<qint32>(qint32(f.data.size())) + f.data;
        payload += char(InnerEnd) + le<qint32>(0);
    }
    payload += *xml;
    bool ok = true;
    if (qFromLittleEndian<quint32>(fieldData(v.header, Compression).constData()) == 1) {
        const QByteArray packed = crypto.gzip(payload, ok);
        payload.fill('\0');
        payload = packed;
    }
    if (!ok)
        return {};

    const QByteArray masterSeed = fieldData(v.header, MasterSeed);
    const QByteArray key = crypto.sha256(masterSeed + transformed);
    const QByteArray iv = fieldData(v.header, EncryptionIv);
    QByteArray out = header;
    if (v.major() >= 4) {
        const QByteArray encrypted =
            crypto.encrypt(*cipher, key, iv, blockCipher(*cipher) ? pad(payload) : payload, ok);
        const QByteArray base = crypto.sha512(masterSeed + transformed + char(1));
        out +=
            crypto.sha256(header) + crypto.hmacSha256(hmacKey(crypto, ~quint64(0), base), header);
        quint64 index = 0;
        for (qsizetype at = 0;; at += blockSize, ++index) {
            const QByteArray data = encrypted.mid(at, blockSize);
            const QByteArray sized = le<qint32>(qint32(data.size())) + data;
            out +=
                crypto.hmacSha256(hmacKey(crypto, index, base), le<quint64>(index) + sized) + sized;
            if (data.isEmpty())
                break;
        }
    } else {
        QByteArray blocks = fieldData(v.header, StreamStartBytes);
        quint32 index = 0;
        for (qsizetype at = 0; at < payload.size(); at += blockSize, ++index) {
            const QByteArray data = payload.mid(at, blockSize);
            blocks +=
                le<quint32>(index) + crypto.sha256(data) + le<quint32>(quint32(data.size())) + data;
        }
        blocks += le<quint32>(index) + QByteArray(32, '\0') + le<quint32>(0);
        out += crypto.encrypt(*cipher, key, iv, pad(blocks), ok);
        blocks.fill('\0');
    }
    payload.fill('\0');
    return ok ? out : QByteArray();
}

Vault create(const QString &name, const Argon2Settings &argon2, qint64 now, RandomSource &random)
{
    Vault v;
    v.version = 0x00040001;
    v.header = {{CipherId, aesUuid}, {Compression, le<quint32>(1)}};
    v.headerEnd = "\r\n\r\n";
    v.kdf = {{0x42, "$UUID", argon2idUuid},
             {0x05, "I", le<quint64>(argon2.iterations)},
             {0x05, "M", le<quint64>(argon2.memoryBytes)},
             {0x04, "P", le<quint32>(argon2.parallelism)},
             {0x04, "V", le<quint32>(0x13)},
             {0x42, "S", randomBytes(random, 32)}};
    v.header.append({KdfParameters, writeVariants(v.kdf)});
    using VaultXml::Element;
    const QString time = timeText(v, now);
    const auto leaf = [](const QString &n, const QString &text) {
        return Element{n, {}, text, {}, {}};
    };
    Element times{u"Times"_s,
                  {},
                  {},
                  {leaf(u"CreationTime"_s, time), leaf(u"LastModificationTime"_s, time),
                   leaf(u"LastAccessTime"_s, time), leaf(u"ExpiryTime"_s, time),
                   leaf(u"Expires"_s, u"False"_s), leaf(u"UsageCount"_s, u"0"_s),
                   leaf(u"LocationChanged"_s, time)},
                  {}};
    Element group{u"Group"_s,
                  {},
                  {},
                  {leaf(u"UUID"_s, newUuid(random)), leaf(u"Name"_s, name), leaf(u"Notes"_s, {}),
                   leaf(u"IconID"_s, u"48"_s), times, leaf(u"IsExpanded"_s, u"True"_s)},
                  {}};
    Element meta{
        u"Meta"_s,
        {},
        {},
        {leaf(u"Generator"_s, u"sitepass"_s), leaf(u"DatabaseName"_s, name),
         leaf(u"DatabaseNameChanged"_s, time), leaf(u"RecycleBinEnabled"_s, u"True"_s),
         leaf(u"HistoryMaxItems"_s, u"10"_s), leaf(u"HistoryMaxSize"_s, u"6291456"_s),
         Element{u"MemoryProtection"_s,
                 {},
                 {},
                 {leaf(u"ProtectTitle"_s, u"False"_s), leaf(u"ProtectUserName"_s, u"False"_s),
                  leaf(u"ProtectPassword"_s, u"True"_s), leaf(u"ProtectURL"_s, u"False"_s),
                  leaf(u"ProtectNotes"_s, u"False"_s)},
                 {}}},
        {}};
    v.document =
        Element{u"KeePassFile"_s,
                {},
                {},
                {meta, Element{u"Root"_s, {}, {}, {group, leaf(u"DeletedObjects"_s, {})}, {}}},
                {}};
    return v;
}

} // namespace KdbxFile
