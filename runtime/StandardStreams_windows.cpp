// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "StandardStreams.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <iterator>
#include <windows.h>

namespace {
// The exit status a shell reports for a filter ended by SIGPIPE, kept for scripts that look.
constexpr UINT readerGone = 141;

// An output handle: a console is written UTF-16 through WriteConsoleW, anything else (a file, a
// pipe) gets the UTF-8 bytes unchanged.
class OutputHandle final : public QIODevice
{
public:
    explicit OutputHandle(HANDLE handle) : m_handle(handle)
    {
        DWORD mode = 0;
        m_console = GetConsoleMode(handle, &mode) != 0;
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (!m_console) {
            DWORD written = 0;
            const DWORD chunk = DWORD(std::min<qint64>(size, 1 << 30));
            if (!WriteFile(m_handle, data, chunk, &written, nullptr))
                return failed();
            return qint64(written);
        }
        // Stateful: a chunk may end inside a character, whose rest comes with the next one.
        const QString text = m_decoder.decode(QByteArrayView(data, size));
        const auto *units = reinterpret_cast<const wchar_t *>(text.utf16());
        qsizetype left = text.size();
        while (left > 0) {
            // A chunk never ends between the two halves of a surrogate pair.
            DWORD chunk = DWORD(std::min<qsizetype>(left, 16384));
            if (chunk < left && QChar::isHighSurrogate(units[chunk - 1]))
                --chunk;
            DWORD written = 0;
            if (!WriteConsoleW(m_handle, units, chunk, &written, nullptr))
                return failed();
            if (written == 0) { // would loop for ever
                errno = EIO;
                return -1;
            }
            units += written;
            left -= written;
        }
        return size;
    }

private:
    qint64 failed()
    {
        const DWORD error = GetLastError();
        if (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE)
            ExitProcess(readerGone);
        errno = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ENOSPC : EIO;
        return -1;
    }

    HANDLE m_handle;
    bool m_console = false;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
};

// A console's input, read as UTF-16 with ReadConsoleW and handed on as UTF-8: read as bytes it
// would come in the console's code page (GBK on a Chinese console). Ctrl+Z ends it, as it ends a
// console's input for every Windows program, and so does Ctrl+D, as on a Unix terminal (Wine's
// console passes that one on where it keeps Ctrl+Z to itself).
class ConsoleInput final : public QIODevice
{
public:
    explicit ConsoleInput(HANDLE handle) : m_handle(handle)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 writeData(const char *, qint64) override { return -1; }
    qint64 readData(char *data, qint64 maxSize) override
    {
        // Like a file's read: as much as asked for, or all there is up to the end.
        while (m_bytes.size() < maxSize && !m_ended)
            readLine();
        const qint64 n = std::min<qint64>(maxSize, m_bytes.size());
        memcpy(data, m_bytes.constData(), size_t(n));
        m_bytes.remove(0, n);
        return n;
    }

private:
    void readLine()
    {
        wchar_t units[4096];
        DWORD read = 0;
        if (!ReadConsoleW(m_handle, units, DWORD(std::size(units)), &read, nullptr) || read == 0) {
            m_ended = true;
            read = 0;
        }
        QString text = m_pending + QString::fromWCharArray(units, qsizetype(read));
        m_pending.clear();
        qsizetype stop = text.indexOf(QChar(0x1A));
        if (stop < 0)
            stop = text.indexOf(QChar(0x04));
        if (stop >= 0) {
            text.truncate(stop);
            m_ended = true;
        } else if (!m_ended && !text.isEmpty() && text.back().isHighSurrogate()) {
            m_pending = text.back(); // its other half comes with the next read
            text.chop(1);
        }
        m_bytes += text.toUtf8();
    }

    HANDLE m_handle;
    QString m_pending;
    QByteArray m_bytes;
    bool m_ended = false;
};

bool usable(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

std::unique_ptr<QIODevice> output(DWORD which, StandardStreams::Console console)
{
    HANDLE handle = GetStdHandle(which);
    // A windowed program has no console of its own: unless redirected, it borrows the one of
    // the shell that started it.
    if (!usable(handle) && console == StandardStreams::Console::Parent &&
        (AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED))
        handle = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (!usable(handle))
        return std::make_unique<QFile>(); // closed: stays unopened
    return std::make_unique<OutputHandle>(handle);
}
} // namespace

StandardStreams::StandardStreams(Console console)
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (usable(input) && GetConsoleMode(input, &mode)) {
        m_in = std::make_unique<ConsoleInput>(input);
    } else {
        // A file or a pipe: bytes as they are, no CR dropped before LF, no ^Z taken as the end.
        auto in = std::make_unique<QFile>();
        if (usable(input) && _setmode(0, _O_BINARY) != -1)
            in->open(0, QIODevice::ReadOnly);
        m_in = std::move(in);
    }
    m_out = output(STD_OUTPUT_HANDLE, console);
    m_err = output(STD_ERROR_HANDLE, console);
}

StandardStreams::~StandardStreams() = default;
