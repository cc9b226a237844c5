// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "GcryptVaultCrypto.h"

#include <condition_variable>
#include <deque>
#include <gcrypt.h>
#include <mutex>
#include <thread>
#include <vector>
#include <zlib.h>

namespace {
QByteArray digest(int algorithm, const QByteArray &data)
{
    QByteArray out(int(gcry_md_get_algo_dlen(algorithm)), Qt::Uninitialized);
    gcry_md_hash_buffer(algorithm, out.data(), data.constData(), size_t(data.size()));
    return out;
}

// Argon2's lanes on as many threads as the vault asks for, started once per derivation: the
// library hands out a job per lane for each of the four slices of every pass.
class Lanes
{
public:
    explicit Lanes(unsigned count)
    {
        for (unsigned i = 0; i < count; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~Lanes()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }
    static int dispatch(void *lanes, gcry_kdf_job_fn_t job, void *priv)
    {
        auto *self = static_cast<Lanes *>(lanes);
        {
            std::lock_guard lock(self->m_mutex);
            self->m_jobs.push_back({job, priv});
            ++self->m_pending;
        }
        self->m_wake.notify_one();
        return 0;
    }
    static int waitAll(void *lanes)
    {
        auto *self = static_cast<Lanes *>(lanes);
        std::unique_lock lock(self->m_mutex);
        self->m_done.wait(lock, [self] { return self->m_pending == 0; });
        return 0;
    }

private:
    void work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            const auto [job, priv] = m_jobs.front();
            m_jobs.pop_front();
            lock.unlock();
            job(priv);
            lock.lock();
            if (--m_pending == 0)
                m_done.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake, m_done;
    std::deque<std::pair<gcry_kdf_job_fn_t, void *>> m_jobs;
    unsigned m_pending = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};
} // namespace

GcryptVaultCrypto::GcryptVaultCrypto()
{
    if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
        gcry_check_version(GCRYPT_VERSION);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    }
}

QByteArray GcryptVaultCrypto::sha256(const QByteArray &data)
{
    return digest(GCRY_MD_SHA256, data);
}

QByteArray GcryptVaultCrypto::sha512(const QByteArray &data)
{
    return digest(GCRY_MD_SHA512, data);
}

QByteArray GcryptVaultCrypto::hmacSha256(const QByteArray &key, const QByteArray &data)
{
    gcry_md_hd_t h = nullptr;
    if (gcry_md_open(&h, GCRY_MD_SHA256, GCRY_MD_FLAG_HMAC))
        return {};
    QByteArray out;
    if (!gcry_md_setkey(h, key.constData(), size_t(key.size()))) {
        gcry_md_write(h, data.constData(), size_t(data.size()));
        out = QByteArray(reinterpret_cast<const char *>(gcry_md_read(h, GCRY_MD_SHA256)), 32);
    }
    gcry_md_close(h);
    return out;
}

QByteArray GcryptVaultCrypto::aesRounds(const QByteArray &key, const QByteArray &seed,
                                        std::uint64_t rounds, bool &ok)
{
    ok = false;
    gcry_cipher_hd_t h = nullptr;
    if (key.size() != 32 || gcry_cipher_open(&h, GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_ECB, 0))
        return {};
    QByteArray out = key;
    if (!gcry_cipher_setkey(h, seed.constData(), size_t(seed.size()))) {
        ok = true;
        for (std::uint64_t i = 0; i < rounds && ok; ++i)
            ok = !gcry_cipher_encrypt(h, out.data(), 32, nullptr, 0);
    }
    gcry_cipher_close(h);
    return ok ? out : QByteArray();
}

QByteArray GcryptVaultCrypto::argon2(Argon2 type, const QByteArray &password,
                                     const QByteArray &salt, std::uint32_t iterations,
                                     std::uint64_t memoryKiB, std::uint32_t parallelism, bool &ok)
{
    ok = false;
    const unsigned long params[4] = {32, iterations, static_cast<unsigned long>(memoryKiB),
                                     parallelism};
    gcry_kdf_hd_t h = nullptr;
    if (gcry_kdf_open(&h, GCRY_KDF_ARGON2,
                      type == Argon2::Id ? GCRY_KDF_ARGON2ID : GCRY_KDF_ARGON2D, params, 4,
                      password.constData(), size_t(password.size()), salt.constData(),
                      size_t(salt.size()), nullptr, 0, nullptr, 0))
        return {};
    Lanes lanes(parallelism);
    const gcry_kdf_thread_ops_t ops{&lanes, Lanes::dispatch, Lanes::waitAll};
    QByteArray out(32, Qt::Uninitialized);
    ok = !gcry_kdf_compute(h, &ops) && !gcry_kdf_final(h, 32, out.data());
    gcry_kdf_close(h);
    return ok ? out : QByteArray();
}

QByteArray GcryptVaultCrypto::crypt(bool encrypting, int algorithm, int mode, const QByteArray &key,
                                    const QByteArray &iv, const QByteArray &data, bool &ok)
{
    ok = false;
    gcry_cipher_hd_t h = nullptr;
    if (gcry_cipher_open(&h, algorithm, mode, 0))
        return {};
    QByteArray out(data.size(), Qt::Uninitialized);
    if (!gcry_cipher_setkey(h, key.constData(), size_t(key.size())) &&
        !gcry_cipher_setiv(h, iv.constData(), size_t(iv.size())))
        ok = !(encrypting ? gcry_cipher_encrypt(h, out.data(), size_t(out.size()), data.constData(),
                                                size_t(data.size()))
                          : gcry_cipher_decrypt(h, out.data(), size_t(out.size()), data.constData(),
                                                size_t(data.size())));
    gcry_cipher_close(h);
    return ok ? out : QByteArray();
}

namespace {
std::pair<int, int> algorithmOf(VaultCrypto::Cipher cipher)
{
    switch (cipher) {
    case VaultCrypto::Cipher::Aes256Cbc:
        return {GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_CBC};
    case VaultCrypto::Cipher::Twofish256Cbc:
        return {GCRY_CIPHER_TWOFISH, GCRY_CIPHER_MODE_CBC};
    case VaultCrypto::Cipher::ChaCha20:
        break;
    }
    return {GCRY_CIPHER_CHACHA20, GCRY_CIPHER_MODE_STREAM};
}
} // namespace

QByteArray GcryptVaultCrypto::encrypt(Cipher cipher, const QByteArray &key, const QByteArray &iv,
                                      const QByteArray &data, bool &ok)
{
    const auto [algorithm, mode] = algorithmOf(cipher);
    return crypt(true, algorithm, mode, key, iv, data, ok);
}

QByteArray GcryptVaultCrypto::decrypt(Cipher cipher, const QByteArray &key, const QByteArray &iv,
                                      const QByteArray &data, bool &ok)
{
    const auto [algorithm, mode] = algorithmOf(cipher);
    return crypt(false, algorithm, mode, key, iv, data, ok);
}

QByteArray GcryptVaultCrypto::keyStream(Stream stream, const QByteArray &key,
                                        const QByteArray &nonce, qsizetype length, bool &ok)
{
    return crypt(true, stream == Stream::Salsa20 ? GCRY_CIPHER_SALSA20 : GCRY_CIPHER_CHACHA20,
                 GCRY_CIPHER_MODE_STREAM, key, nonce, QByteArray(length, '\0'), ok);
}

QByteArray GcryptVaultCrypto::gzip(const QByteArray &data, bool &ok)
{
    z_stream s{};
    ok = false;
    if (deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&s, uLong(data.size()))), Qt::Uninitialized);
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    s.avail_in = uInt(data.size());
    s.next_out = reinterpret_cast<Bytef *>(out.data());
    s.avail_out = uInt(out.size());
    ok = deflate(&s, Z_FINISH) == Z_STREAM_END;
    out.truncate(qsizetype(s.total_out));
    deflateEnd(&s);
    return ok ? out : QByteArray();
}

QByteArray GcryptVaultCrypto::gunzip(const QByteArray &data, qsizetype limit, bool &ok)
{
    z_stream s{};
    ok = false;
    if (inflateInit2(&s, 15 + 16) != Z_OK)
        return {};
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    s.avail_in = uInt(data.size());
    QByteArray out;
    char buffer[65536];
    int status = Z_OK;
    while (status == Z_OK && out.size() <= limit) {
        s.next_out = reinterpret_cast<Bytef *>(buffer);
        s.avail_out = sizeof buffer;
        status = inflate(&s, Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof buffer - s.avail_out));
        if (status == Z_BUF_ERROR && s.avail_in == 0)
            break; // the data ends before the stream does
    }
    inflateEnd(&s);
    memset(buffer, 0, sizeof buffer);
    ok = status == Z_STREAM_END && out.size() <= limit;
    return ok ? out : QByteArray();
}
