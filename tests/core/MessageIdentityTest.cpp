#include "core/MessageIdentity.h"
#include "mail/Pop3Client.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// A mailbox whose numbering the test rearranges between scan and check.
class TScriptedMailbox : public TPop3Client {
public:
    std::map<int, std::string> uids;  // empty: the server has no unique ids
    std::map<int, std::vector<std::string>> headers;
    bool Uidl(int n) override {
        FullResult.clear();
        if (uids.empty()) return false;
        if (n == 0) {
            for (const auto& [number, uid] : uids) FullResult.push_back(std::to_string(number) + " " + uid);
            return true;
        }
        if (!uids.count(n)) return false;
        ResultString = "+OK " + std::to_string(n) + " " + uids[n];
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
    TMessageIdentities ids;
    ids.Read(box);
    const std::string second = ids.IdentityOf(2, {"From: x"});
    EXPECT_EQ(second, "uid:bbb");
    EXPECT_TRUE(MessageStillThere(box, 2, second));
    box.uids = {{1, "bbb"}, {2, "ccc"}};  // message 1 deleted by another client
    EXPECT_FALSE(MessageStillThere(box, 2, second));
    EXPECT_FALSE(MessageStillThere(box, 5, second));
}

TEST(MessageIdentityTest, WithoutUniqueIdsTheHeaderFingerprintDecides) {
    TScriptedMailbox box;
    box.headers = {{1, {"From: a", "Subject: one", ""}}, {2, {"From: b", "Subject: two", ""}}};
    TMessageIdentities ids;
    ids.Read(box);
    const std::string first = ids.IdentityOf(1, box.headers[1]);
    EXPECT_EQ(first.substr(0, 3), "fp:");
    EXPECT_NE(first, ids.IdentityOf(2, box.headers[2]));
    EXPECT_TRUE(MessageStillThere(box, 1, first));
    box.headers[1] = box.headers[2];
    EXPECT_FALSE(MessageStillThere(box, 1, first));
    EXPECT_FALSE(MessageStillThere(box, 1, ""));
}

}  // namespace
