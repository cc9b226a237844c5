// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "VaultCrypto.h"
#include "VaultXml.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class RandomSource;

// The KeePass vault file, KDBX 3.1 and 4.x, bytes in and bytes out: its header, its blocks,
// the keys they are made with, and the XML inside. Everything read is kept to be written back
// as it was; only the seeds and IVs are new in each file written, as the format asks.
namespace KdbxFile {

struct Field
{
    quint8 id = 0;
    QByteArray data;
};

// One item of a KDBX 4 variant dictionary (the key derivation's parameters), kept as read.
struct Variant
{
    quint8 type = 0;
    QByteArray name;
    QByteArray value;
};

struct Vault
{
    quint32 version = 0x00040000; // major in the upper half: 0x00030001, 0x00040000, 0x00040001
    QList<Field> header;          // the outer header's fields but its end, in file order
    QByteArray headerEnd;
    QList<Variant> kdf;         // KDBX 4
    QList<Field> inner;         // KDBX 4: the inner header's fields but its end (binaries too)
    VaultXml::Element document; // KeePassFile, its protected values in clear

    int major() const { return int(version >> 16); }
};

enum class Problem {
    None,
    NotAVault,   // not a KDBX file at all
    Unsupported, // a cipher, key derivation or version this program does not know
    WrongKey,    // the password or key file does not open it
    Damaged,     // a hash, HMAC, length or block does not check out
};

struct Opened
{
    Problem problem = Problem::None;
    Vault vault;
};

// The composite key of a password (none: a vault of a key file alone, which is not the same as
// an empty password) and a key file's key (empty for none): what every derivation starts from.
QByteArray compositeKey(VaultCrypto &crypto, const std::optional<QString> &password,
                        const QByteArray &keyFileKey);

// The key a key file gives: KeePass's XML key file (1.0 and 2.0), 32 raw bytes, 64 hex
// digits, or any other file by its SHA-256. Empty for an XML key file that does not check out.
QByteArray keyFileKey(VaultCrypto &crypto, const QByteArray &file);

Opened read(const QByteArray &file, const QByteArray &compositeKey, VaultCrypto &crypto);
// The file for the vault with fresh seeds; empty when the crypto library fails.
QByteArray write(const Vault &vault, const QByteArray &compositeKey, VaultCrypto &crypto,
                 RandomSource &random);

// write() in steps, so that the key derivation for the next file can run while the vault is
// still being opened: the header alone (no key needed), fresh seeds for it, the key derived
// from them, and the file written with that key.
std::optional<Vault> readHeader(const QByteArray &file);
Vault reseeded(const Vault &vault, RandomSource &random);
QByteArray derive(const Vault &vault, const QByteArray &compositeKey, VaultCrypto &crypto);
QByteArray writeReseeded(const Vault &vault, const QByteArray &derivedKey, VaultCrypto &crypto,
                         RandomSource &random);

// A new, empty KDBX 4 vault: AES-256, Argon2id with these parameters, ChaCha20 for the
// protected values, gzip; its root group is named `name`.
struct Argon2Settings
{
    std::uint32_t iterations = 10;
    std::uint64_t memoryBytes = 64ull << 20;
    std::uint32_t parallelism = 2;
};
Vault create(const QString &name, const Argon2Settings &argon2, qint64 now, RandomSource &random);

// A time as the vault's version writes it: Base64 seconds from year 1 in KDBX 4, ISO 8601 before.
QString timeText(const Vault &vault, qint64 unixSeconds);
// A new UUID, Base64 as the XML has it.
QString newUuid(RandomSource &random);

// Random bytes from the injected source.
QByteArray randomBytes(RandomSource &random, qsizetype count);

} // namespace KdbxFile
