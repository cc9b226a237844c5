// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Any file given as a vault is refused or read, never a crash; any XML the vault holds reads
// back the same after it is written; any key file gives a key or a refusal.
#include "FuzzInput.h"
#include "GcryptVaultCrypto.h"
#include "KdbxFile.h"

namespace {
// The real library, but key derivations too costly for a fuzzer's pace are refused, as a
// vault the library cannot derive is.
class CheapDerivations final : public VaultCrypto
{
public:
    GcryptVaultCrypto real;
    QByteArray sha256(const QByteArray &d) override { return real.sha256(d); }
    QByteArray sha512(const QByteArray &d) override { return real.sha512(d); }
    QByteArray hmacSha256(const QByteArray &k, const QByteArray &d) override
    {
        return real.hmacSha256(k, d);
    }
    QByteArray aesRounds(const QByteArray &k, const QByteArray &s, std::uint64_t rounds,
                         bool &ok) override
    {
        ok = false;
        return rounds > 1000 ? QByteArray() : real.aesRounds(k, s, rounds, ok);
    }
    QByteArray argon2(Argon2 t, const QByteArray &p, const QByteArray &s, std::uint32_t i,
                      std::uint64_t m, std::uint32_t lanes, bool &ok) override
    {
        ok = false;
        return i > 4 || m > 1024 ? QByteArray() : real.argon2(t, p, s, i, m, lanes, ok);
    }
    QByteArray encrypt(Cipher c, const QByteArray &k, const QByteArray &iv, const QByteArray &d,
                       bool &ok) override
    {
        return real.encrypt(c, k, iv, d, ok);
    }
    QByteArray decrypt(Cipher c, const QByteArray &k, const QByteArray &iv, const QByteArray &d,
                       bool &ok) override
    {
        return real.decrypt(c, k, iv, d, ok);
    }
    QByteArray keyStream(Stream s, const QByteArray &k, const QByteArray &n, qsizetype length,
                         bool &ok) override
    {
        return real.keyStream(s, k, n, length, ok);
    }
    QByteArray gzip(const QByteArray &d, bool &ok) override { return real.gzip(d, ok); }
    QByteArray gunzip(const QByteArray &d, qsizetype limit, bool &ok) override
    {
        return real.gunzip(d, std::min<qsizetype>(limit, 1 << 20), ok);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static CheapDerivations crypto;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray key = crypto.sha256("key");
    const KdbxFile::Opened opened = KdbxFile::read(bytes, key, crypto);
    FUZZ_CHECK(opened.problem != KdbxFile::Problem::None); // no HMAC or hash a fuzzer can forge

    const auto zeros = [](qsizetype n) { return std::optional<QByteArray>(QByteArray(n, '\0')); };
    if (const auto tree = VaultXml::read(bytes, zeros)) {
        const auto written = VaultXml::write(*tree, zeros);
        FUZZ_CHECK(written.has_value());
        const auto again = VaultXml::read(*written, zeros);
        FUZZ_CHECK(again && VaultXml::write(*again, zeros) == written);
    }
    const QByteArray fileKey = KdbxFile::keyFileKey(crypto, bytes);
    FUZZ_CHECK(fileKey.isEmpty() || fileKey.size() == 32);
    return 0;
}
