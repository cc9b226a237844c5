// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChunkedOutput.h"

#include <QIODevice>
#include <cerrno>

ChunkedOutput::ChunkedOutput(QIODevice &device) : m_device(device)
{
    m_buffer.reserve(chunkSize * 2);
}

void ChunkedOutput::write(QStringView text)
{
    // Passwords are nearly always ASCII: copy those units as bytes, encode the rest.
    qsizetype ascii = 0;
    while (ascii < text.size() && text[ascii].unicode() < 0x80)
        ++ascii;
    if (ascii > 0) {
        const qsizetype at = m_buffer.size();
        m_buffer.resize(at + ascii);
        char *out = m_buffer.data() + at;
        for (qsizetype i = 0; i < ascii; ++i)
            out[i] = char(text[i].unicode());
    }
    if (ascii < text.size())
        m_buffer += text.mid(ascii).toUtf8();
    flushIfFull();
}

void ChunkedOutput::write(char c)
{
    m_buffer += c;
    flushIfFull();
}

void ChunkedOutput::flushIfFull()
{
    if (m_buffer.size() >= chunkSize)
        flush();
}

void ChunkedOutput::flush()
{
    // A closed standard output is found where something is written to it, not before: a verb
    // that writes a file instead does not need it.
    if (!m_buffer.isEmpty() && !m_device.isWritable()) {
        m_buffer.resize(0);
        throw WriteFailed{EBADF};
    }
    qsizetype done = 0;
    while (done < m_buffer.size()) {
        errno = 0;
        const qint64 written = m_device.write(m_buffer.constData() + done, m_buffer.size() - done);
        // A device that takes nothing would loop here for ever: that is a failure too.
        if (written <= 0) {
            const int error = errno;
            m_buffer.resize(0);
            throw WriteFailed{error};
        }
        done += written;
    }
    m_buffer.resize(0); // keeps the capacity for the next chunk
}
