// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <cstdint>

// The ciphers, hashes, key derivation and compression a KeePass vault is made of, from a
// well-kept library: the format in core asks for them by name and never computes them itself.
// Failures (a wrong key length, a part block, data that does not inflate)
// give an empty result and ok = false.
class VaultCrypto
{
public:
    enum class Cipher { Aes256Cbc, Twofish256Cbc, ChaCha20 };
    enum class Stream { Salsa20, ChaCha20 };
    enum class Argon2 { D, Id };

    virtual ~VaultCrypto() = default;

    virtual QByteArray sha256(const QByteArray &data) = 0;
    virtual QByteArray sha512(const QByteArray &data) = 0;
    virtual QByteArray hmacSha256(const QByteArray &key, const QByteArray &data) = 0;

    // AES-KDF: the 32-byte key encrypted `rounds` times with AES-256-ECB under `seed`.
    virtual QByteArray aesRounds(const QByteArray &key, const QByteArray &seed,
                                 std::uint64_t rounds, bool &ok) = 0;
    virtual QByteArray argon2(Argon2 type, const QByteArray &password, const QByteArray &salt,
                              std::uint32_t iterations, std::uint64_t memoryKiB,
                              std::uint32_t parallelism, bool &ok) = 0;

    // The payload: CBC for the block ciphers, on whole blocks (the format pads), the stream for
    // ChaCha20.
    virtual QByteArray encrypt(Cipher cipher, const QByteArray &key, const QByteArray &iv,
                               const QByteArray &data, bool &ok) = 0;
    virtual QByteArray decrypt(Cipher cipher, const QByteArray &key, const QByteArray &iv,
                               const QByteArray &data, bool &ok) = 0;
    // `length` bytes of the key stream that protected values are XORed with.
    virtual QByteArray keyStream(Stream stream, const QByteArray &key, const QByteArray &nonce,
                                 qsizetype length, bool &ok) = 0;

    virtual QByteArray gzip(const QByteArray &data, bool &ok) = 0;
    // Refuses more than `limit` bytes out, so a small file cannot fill the memory.
    virtual QByteArray gunzip(const QByteArray &data, qsizetype limit, bool &ok) = 0;
};
