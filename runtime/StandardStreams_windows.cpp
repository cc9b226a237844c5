// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "StandardStreams.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
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
            DWORD written = 0;
            if (!WriteConsoleW(m_handle, units, DWORD(std::min<qsizetype>(left, 16384)), &written,
                               nullptr))
                return failed();
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
    // Bytes as they are: no CR inserted before LF, no ^Z taken as the end.
    auto in = std::make_unique<QFile>();
    if (usable(GetStdHandle(STD_INPUT_HANDLE)) && _setmode(0, _O_BINARY) != -1)
        in->open(0, QIODevice::ReadOnly);
    m_in = std::move(in);
    m_out = output(STD_OUTPUT_HANDLE, console);
    m_err = output(STD_ERROR_HANDLE, console);
}

StandardStreams::~StandardStreams() = default;
