// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CommandLine.h"
#include "FileReplacement.h"
#include "KdbxFile.h"

#include <future>
#include <memory>

class ChunkedOutput;

namespace CommandLine {

// A vault opened with the user's master password and key file, to be written back in its place.
struct OpenedVault
{
    QString path;
    std::unique_ptr<FileReplacement> file;
    KdbxFile::Vault vault;
    QByteArray key; // the composite key
    // The next file's seeds and the key derived from them, started while the vault opens.
    KdbxFile::Vault next;
    std::future<QByteArray> nextKey;
    ~OpenedVault() { key.fill('\0'); }
};

// The vault's next file: with the key derived while it opened, the first time.
QByteArray sealVault(OpenedVault &opened, RandomSource &random, VaultCrypto &crypto);

// Opens the vault at `path` (asking for the master password); every refusal is thrown in the
// user's words: a wrong key is a Failure, a vault that is missing, damaged or of a kind this
// program does not know a UsageError.
std::unique_ptr<OpenedVault> openVault(const Invocation &call, const QString &path);
// Writes it whole beside the file, synced, and renames it over the file.
void saveVault(OpenedVault &opened, RandomSource &random, VaultCrypto &crypto);
// The vault's entries for a profile, as `vault add` and `profile --vault` store them.
// The database account's host is --db-host's, or `dbHost` where the caller knows it.
void storeProfile(const Invocation &call, OpenedVault &opened, const SiteTexts &profile,
                  const QString &dbHost = {});

void vault(const Invocation &call, ChunkedOutput &out);

} // namespace CommandLine
