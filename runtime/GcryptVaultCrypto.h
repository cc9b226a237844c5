// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "VaultCrypto.h"

// The vault's cryptography from libgcrypt and its gzip from zlib.
class GcryptVaultCrypto final : public VaultCrypto
{
public:
    GcryptVaultCrypto();

    QByteArray sha256(const QByteArray &data) override;
    QByteArray sha512(const QByteArray &data) override;
    QByteArray hmacSha256(const QByteArray &key, const QByteArray &data) override;
    QByteArray aesRounds(const QByteArray &key, const QByteArray &seed, std::uint64_t rounds,
                         bool &ok) override;
    QByteArray argon2(Argon2 type, const QByteArray &password, const QByteArray &salt,
                      std::uint32_t iterations, std::uint64_t memoryKiB, std::uint32_t parallelism,
                      bool &ok) override;
    QByteArray encrypt(Cipher cipher, const QByteArray &key, const QByteArray &iv,
                       const QByteArray &data, bool &ok) override;
    QByteArray decrypt(Cipher cipher, const QByteArray &key, const QByteArray &iv,
                       const QByteArray &data, bool &ok) override;
    QByteArray keyStream(Stream stream, const QByteArray &key, const QByteArray &nonce,
                         qsizetype length, bool &ok) override;
    QByteArray gzip(const QByteArray &data, bool &ok) override;
    QByteArray gunzip(const QByteArray &data, qsizetype limit, bool &ok) override;

private:
    QByteArray crypt(bool encrypting, int algorithm, int mode, const QByteArray &key,
                     const QByteArray &iv, const QByteArray &data, bool &ok);
};
