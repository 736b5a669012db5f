// Headers asked for ahead give exactly what one Top at a time gives, and the
// commands that follow still get their own answers.
#include <gtest/gtest.h>

#include "mail/ImapClient.h"
#include "mail/Mailbox.h"
#include "mail/ServerMessages.h"
#include "servers/MailServers.h"

namespace {

std::unique_ptr<TPop3Client> Open(const std::string& proto, const TTestMailbox& box) {
    const TMailServerInfo* servers = RequireMailServers();
    auto mailbox = CreateMailbox(proto);
    if (!servers) return mailbox;
    mailbox->Host = servers->Host;
    mailbox->Port = proto == "IMAP" ? servers->ImapPort : servers->Pop3Port;
    mailbox->AuthType = AuthUserPass;
    mailbox->Timeout = 5000;
    mailbox->Username = box.User();
    mailbox->Password = box.Password();
    return mailbox;
}

TEST(PrefetchHeaders, SameHeadersAsOneAtATimeAndLaterCommandsUnaffected) {
    // IMAP also in ranges of 64: one is read while the next is on its way.
    const struct {
        std::string proto;
        int imapRange;
    } cases[] = {{"POP3", 0}, {"IMAP", 0}, {"IMAP", 64}};
    for (const auto& [proto, imapRange] : cases) {
        SCOPED_TRACE(proto + " " + std::to_string(imapRange));
        // Enough for ranges asked for ahead while earlier ones are handed out.
        TTestMailbox box(TestMessages(300));
        std::vector<std::vector<std::string>> plain;
        {
            auto mailbox = Open(proto, box);
            ASSERT_TRUE(mailbox->Login());
            ASSERT_TRUE(mailbox->Stat());
            for (int i = 1; i <= mailbox->StatCount; ++i) {
                ASSERT_TRUE(mailbox->Top(i, 0));
                plain.push_back(mailbox->FullResult);
            }
            mailbox->Logout();
        }
        auto mailbox = Open(proto, box);
        if (imapRange > 0) dynamic_cast<TIMAP&>(*mailbox).HeaderRange = imapRange;
        ASSERT_TRUE(mailbox->Login());
        ASSERT_TRUE(mailbox->Stat());
        mailbox->PrefetchHeaders(1, 300);
        for (int i = 1; i <= 200; ++i) {  // stopped early, as "Stop" does
            ASSERT_TRUE(mailbox->Top(i, 0)) << i;
            EXPECT_EQ(mailbox->FullResult, plain[i - 1]) << i;
        }
        // Out of order, then other commands while answers are still on their way.
        ASSERT_TRUE(mailbox->Top(3, 0));
        EXPECT_EQ(mailbox->FullResult, plain[2]);
        ASSERT_TRUE(mailbox->Uidl(7));
        EXPECT_NE(mailbox->ResultString.find("+OK 7 "), std::string::npos) << mailbox->ResultString;
        EXPECT_FALSE(mailbox->Top(301, 0));
        ASSERT_TRUE(mailbox->Dele(2));
        mailbox->Logout();
        EXPECT_EQ(box.Messages().size(), 299u);
    }
}

}  // namespace
