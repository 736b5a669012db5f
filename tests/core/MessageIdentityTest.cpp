#include "core/MessageIdentity.h"
#include "mail/Pop3Client.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// A mailbox whose numbering the test rearranges between scan and check.
class TScriptedMailbox : public TPop3Client {
public:
    std::vector<std::pair<int, std::string>> uids;  // the UIDL listing; empty: no unique ids
    std::map<int, std::vector<std::string>> headers;
    bool Uidl(int n) override {
        FullResult.clear();
        if (uids.empty() || n != 0) return false;
        for (const auto& [number, uid] : uids) FullResult.push_back(std::to_string(number) + " " + uid);
        return true;
    }
    bool Top(int n, int) override {
        if (!headers.count(n)) return false;
        FullResult = headers[n];
        return true;
    }
};

TEST(MessageIdentityTest, UniqueIdsNameTheMessageWhateverItsNumber) {
    TScriptedMailbox box;
    box.uids = {{1, "aaa"}, {2, "bbb"}, {3, "ccc"}};
    box.LoadUniqueIds();
    const std::string second = MessageIdentityOf(box, 2, {"From: x"});
    EXPECT_EQ(second, "uid:bbb");
    EXPECT_EQ(LocateMessage(box, 2, second), 2);
    box.uids = {{1, "bbb"}, {2, "ccc"}};  // message 1 deleted by another client
    box.LoadUniqueIds();
    EXPECT_EQ(LocateMessage(box, 2, second), 1);
    box.uids = {{1, "ccc"}};
    box.LoadUniqueIds();
    EXPECT_EQ(LocateMessage(box, 2, second), 0);
}

// An id the server gives twice names neither message: both are checked by
// their header instead, so the wrong one of the two is never deleted.
TEST(MessageIdentityTest, RepeatedUniqueIdsFallBackToTheHeader) {
    TScriptedMailbox box;
    box.uids = {{1, "same"}, {2, "other"}, {3, "same"}};
    box.headers = {{1, {"Subject: ham", ""}}, {3, {"Subject: spam", ""}}};
    box.LoadUniqueIds();
    const std::string third = MessageIdentityOf(box, 3, box.headers[3]);
    EXPECT_EQ(third.substr(0, 3), "fp:");
    EXPECT_EQ(MessageIdentityOf(box, 2, {}), "uid:other");
    EXPECT_EQ(box.NumberOfUniqueId("same"), 0);
    EXPECT_EQ(LocateMessage(box, 3, third), 3);
    EXPECT_EQ(LocateMessage(box, 1, third), 0);
}

TEST(MessageIdentityTest, WithoutUniqueIdsTheHeaderFingerprintDecides) {
    TScriptedMailbox box;
    box.headers = {{1, {"From: a", "Subject: one", ""}}, {2, {"From: b", "Subject: two", ""}}};
    box.LoadUniqueIds();
    const std::string first = MessageIdentityOf(box, 1, box.headers[1]);
    EXPECT_EQ(first.substr(0, 3), "fp:");
    EXPECT_NE(first, MessageIdentityOf(box, 2, box.headers[2]));
    EXPECT_EQ(LocateMessage(box, 1, first), 1);
    box.headers[1] = box.headers[2];
    EXPECT_EQ(LocateMessage(box, 1, first), 0);
    EXPECT_EQ(LocateMessage(box, 1, ""), 0);
}

}  // namespace
