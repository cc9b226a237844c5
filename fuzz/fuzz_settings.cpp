// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Any settings file is an account or a refusal, in every format; a new password changes the
// password's value and nothing else, and reads back.
#include "FuzzInput.h"
#include "SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView file(data, qsizetype(size));
    for (auto format : {AppConfig::Format::Laravel, AppConfig::Format::WordPress,
                        AppConfig::Format::Php}) {
        SettingsFile::Read read;
        try {
            read = SettingsFile::read(format, file);
        } catch (const SettingsFile::Unreadable &) {
            continue;
        }
        FUZZ_CHECK(0 <= read.passwordBegin && read.passwordBegin <= read.passwordEnd &&
                   read.passwordEnd <= file.size());
        const QString password = QStringLiteral("n'e\"w$x\\y=\"#z");
        const auto changed = SettingsFile::withPassword(format, file, read, password);
        if (!changed)
            continue;
        FUZZ_CHECK(changed->startsWith(file.first(read.passwordBegin)));
        FUZZ_CHECK(changed->endsWith(file.sliced(read.passwordEnd)));
        FUZZ_CHECK(SettingsFile::read(format, *changed).account.password == password);
    }
    return 0;
}
