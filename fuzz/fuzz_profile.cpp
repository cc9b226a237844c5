// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Any input is a profile or a refusal; a profile read is one a script can be built from.
#include "FuzzInput.h"
#include "RandomSource.h"
#include "SiteProfile.h"
#include "SitepassError.h"
#include "SqlScript.h"

namespace {
class FirstPositions final : public RandomSource
{
public:
    void reseed() override {}
    qsizetype position(qsizetype) override { return 1; }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    SiteTexts profile;
    try {
        profile = SiteProfile::read(QByteArrayView(data, qsizetype(size)));
    } catch (const SitepassError &) {
        return 0;
    }
    FUZZ_CHECK(!profile.tableName.isEmpty() && !profile.databaseUser.isEmpty() &&
               !profile.databasePassword.isEmpty());
    for (const QString *value :
         {&profile.tableName, &profile.databaseUser, &profile.databasePassword})
        FUZZ_CHECK(!value->contains(u'\n') && !value->contains(u'\r') && !value->contains(QChar()));
    FirstPositions random;
    for (auto dialect :
         {SqlScript::Dialect::MariaDb, SqlScript::Dialect::MySql, SqlScript::Dialect::PostgreSql}) {
        try {
            const QString script =
                SqlScript::build(dialect, profile, QStringLiteral("localhost"), random);
            // Every statement on a line of its own: nothing in a value can start another.
            FUZZ_CHECK(script.count(u'\n') == (dialect == SqlScript::Dialect::PostgreSql ? 6 : 8));
        } catch (const SitepassError &e) {
            FUZZ_CHECK(e.kind() == SitepassError::Kind::NameTooLong);
        }
    }
    return 0;
}
