// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "StandardStreams.h"

#include <QFile>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
std::unique_ptr<QFile> openDescriptor(int fd, QIODevice::OpenMode mode)
{
    auto file = std::make_unique<QFile>();
    if (fcntl(fd, F_GETFD) != -1)
        file->open(fd, mode);
    return file;
}
} // namespace

StandardStreams::StandardStreams(Console)
{
    // A reader that goes away ends the program through SIGPIPE, untouched.
    std::signal(SIGPIPE, SIG_DFL);
    m_in = openDescriptor(STDIN_FILENO, QIODevice::ReadOnly);
    m_out = openDescriptor(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    m_err = openDescriptor(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
}

StandardStreams::~StandardStreams() = default;
