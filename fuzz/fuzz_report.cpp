// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzInput.h"
#include "SiteProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    SiteTexts t;
    for (QString *field : {&t.siteName, &t.siteUrl, &t.sitePort, &t.tableName, &t.databaseUser,
                           &t.databasePassword, &t.adminPath, &t.adminUser, &t.adminPassword})
        *field = in.text(64);
    const QString report = BuildSiteReport(t);
    const QString directory = SiteProfile::siteDirectory(t.siteName);
    FUZZ_CHECK(!directory.contains(u'.'));
    const qsizetype values = t.siteName.size() + directory.size() + t.siteUrl.size() +
                             t.sitePort.size() + t.tableName.size() + t.databaseUser.size() +
                             t.databasePassword.size() + t.adminPath.size() + t.adminUser.size() +
                             t.adminPassword.size();
    FUZZ_CHECK(report.size() == 68 + 20 + values);
    FUZZ_CHECK(
        report.endsWith(QStringLiteral("管理员密码：") + t.adminPassword + QStringLiteral("\r\n")));
    return 0;
}
