// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

class QIODevice;

// UTF-8 text to a device in chunks of a fixed size, so that memory stays flat however much is
// written, and every failed write is noticed.
class ChunkedOutput
{
public:
    // Thrown by write() and flush() when the device took no bytes.
    struct WriteFailed
    {
        int error; // errno of the failed write, 0 when the device gave none
    };

    static constexpr qsizetype chunkSize = 64 * 1024;

    explicit ChunkedOutput(QIODevice &device);

    void write(QStringView text);
    void write(char c);
    // Hands everything buffered to the device. Call it at the end: nothing is written on
    // destruction, where a failure could not be reported.
    void flush();

private:
    void flushIfFull();

    QIODevice &m_device;
    QByteArray m_buffer;
};
