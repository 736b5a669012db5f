// The security choice of a server: what it reads from the accounts table, and
// what a connection does with it.
#include "mail/TlsSettings.h"

#include <gtest/gtest.h>

namespace {

TEST(TlsPolicy, StoredWordsAndFingerprints) {
    EXPECT_EQ(ParseSecurity(""), TSecurity::Automatic);  // rows from before the choice existed
    EXPECT_EQ(ParseSecurity("STARTTLS"), TSecurity::StartTls);
    EXPECT_EQ(ParseSecurity("ssl"), TSecurity::Tls);
    EXPECT_EQ(ParseSecurity("secure"), std::nullopt);
    for (TSecurity s : {TSecurity::Automatic, TSecurity::Tls, TSecurity::StartTls, TSecurity::None})
        EXPECT_EQ(ParseSecurity(SecurityWord(s)), s);

    const std::string digits = "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF";
    const std::string colons = FingerprintText(digits);
    EXPECT_EQ(colons.substr(0, 9), "00:11:22:");
    EXPECT_EQ(ParseFingerprint(colons), digits);
    std::string lower = colons;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(ParseFingerprint(lower), digits);
    EXPECT_EQ(ParseFingerprint(digits.substr(2)), std::nullopt);       // a digest of another length
    EXPECT_EQ(ParseFingerprint(digits.substr(1) + "G"), std::nullopt);  // not hex
}

TEST(TlsPolicy, WhatAConnectionDoes) {
    struct {
        TSecurity security;
        bool usedBefore;
        int port;  // 995: the protocol's TLS port
        bool offered;
        bool startsWithTls;
        TPlainStep step;
    } cases[] = {
        {TSecurity::Automatic, false, 995, false, true, TPlainStep::StayPlain},
        {TSecurity::Automatic, false, 110, true, false, TPlainStep::Upgrade},
        {TSecurity::Automatic, false, 110, false, false, TPlainStep::StayPlain},
        // A server that offered TLS before and no longer does may be an attacker.
        {TSecurity::Automatic, true, 110, false, false, TPlainStep::Refuse},
        {TSecurity::Automatic, true, 110, true, false, TPlainStep::Upgrade},
        {TSecurity::Tls, false, 110, false, true, TPlainStep::Refuse},
        {TSecurity::StartTls, false, 995, true, false, TPlainStep::Upgrade},
        {TSecurity::StartTls, false, 110, false, false, TPlainStep::Refuse},
        {TSecurity::None, true, 995, true, false, TPlainStep::StayPlain},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(SecurityWord(c.security)) + " port " + std::to_string(c.port) +
                     (c.usedBefore ? " used before" : "") + (c.offered ? " offered" : ""));
        TTlsSettings settings;
        settings.Security = c.security;
        settings.RequireTls = c.usedBefore;
        EXPECT_EQ(StartsWithTls(settings, c.port, 995), c.startsWithTls);
        EXPECT_EQ(StepOnPlainConnection(settings, c.offered), c.step);
    }
}

}  // namespace
