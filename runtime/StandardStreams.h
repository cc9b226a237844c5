// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIODevice>
#include <memory>

// The process's standard input, output and error as devices. Output is unbuffered, so the caller
// sees each write fail; a stream the parent closed stays unopened; output to a reader that has
// gone away ends the process quietly, as any filter in a pipe ends. Text goes out as UTF-8,
// except to a Windows console, which is given UTF-16 so that Chinese reads on any code page.
// Make it first in main(): a closed descriptor would be handed to the next file opened.
class StandardStreams
{
public:
    // Parent: a windowed program answering on the console it was started from, if any.
    enum class Console { Own, Parent };

    explicit StandardStreams(Console console = Console::Own);
    ~StandardStreams();
    StandardStreams(const StandardStreams &) = delete;
    StandardStreams &operator=(const StandardStreams &) = delete;

    QIODevice &in() { return *m_in; }
    QIODevice &out() { return *m_out; }
    QIODevice &err() { return *m_err; }

private:
    std::unique_ptr<QIODevice> m_in, m_out, m_err;
};
