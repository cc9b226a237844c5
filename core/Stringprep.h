// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The RFC 3454 tables that SASLprep (RFC 4013) applies, from Unicode 3.2 as the RFC fixes them.
// Today's Unicode assigns and classifies some code points differently, and a server that follows
// the RFC would then store a different password than the one its clients send.
namespace Stringprep {

bool isNonAsciiSpace(char32_t c);   // C.1.2
bool isMappedToNothing(char32_t c); // B.1
bool isProhibited(char32_t c);      // C.1.2 to C.9
bool isUnassigned(char32_t c);      // A.1
bool isRandAL(char32_t c);          // D.1
bool isLeftToRight(char32_t c);     // D.2

} // namespace Stringprep
