// The AOL web-mail adapter against a web-mail site of our own on loopback.
#include "aol/WebmailSite.h"
#include "mail/Mailbox.h"
#include "mail/SLAol.h"
#include "platform/IniFile.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using TLines = std::vector<std::string>;

// As the pages show them: entities in the header block, a folded line.
const TLines kAnnaHeader = {
    "From: \"Anna Smith\" <anna@friends.test>",
    "To: me@aol.test",
    "Subject: Lunch <today> & 'tomorrow'",
    "Received: from mx.friends.test",
    "\tby mail.aol.test",
    "Date: Tue, 3 Jun 2003 10:00:00 +0200",
};
// The table layout: one row per field.
const TLines kBobHeader = {"From: Bob <bob@spam.test>", "Subject: Cheap & fast",
                           "Date: Wed, 4 Jun 2003 08:00:00 +0000"};

TLines With(TLines lines, const std::string& last) {
    lines.push_back(last);
    return lines;
}

class TAolSendTest : public ::testing::Test {
protected:
    TTempHome home;
    std::unique_ptr<TWebmailSite> site;
    TAOLSend aol;
    int sites = 0;

    void StartSite(const TWebmailSiteOptions& options = {}) {
        site.reset();
        site = std::make_unique<TWebmailSite>(home.File("site" + std::to_string(++sites)), options);
        ASSERT_TRUE(site->Running());
        site->PointHomeHere(home.Path());
        aol.Username = options.user;
        aol.Password = options.password;
    }

    void AddFive() {
        site->AddMessage("m1", TWebmailSite::Pre, kAnnaHeader);
        site->AddMessage("m2", TWebmailSite::Table, kBobHeader);
        site->AddMessage("m3", TWebmailSite::Pre, {"From: carol@friends.test", "Subject: three"});
        site->AddMessage("m4", TWebmailSite::Table, {"From: dave@spam.test", "Subject: four"});
        site->AddMessage("m5", TWebmailSite::Pre, {"From: erin@friends.test", "Subject: five"});
    }
};

TEST_F(TAolSendTest, ScanOfFiveGivesPop3AnswersAndTheHeadersOfBothLayouts) {
    StartSite();
    AddFive();
    ASSERT_TRUE(aol.Login()) << aol.ResultString;
    EXPECT_EQ(aol.BaseUrl(), site->BaseUrl());
    EXPECT_EQ(aol.StatCount, 5);
    ASSERT_TRUE(aol.Stat());
    EXPECT_EQ(aol.ResultString, "+OK 5 5");
    EXPECT_EQ(aol.StatSize, 5);
    ASSERT_TRUE(aol.List(0));
    EXPECT_EQ(aol.FullResult, (TLines{"1 1", "2 1", "3 1", "4 1", "5 1", "."}));

    ASSERT_TRUE(aol.Top(1, 0)) << aol.ResultString;
    EXPECT_EQ(aol.FullResult, With(kAnnaHeader, "."));
    ASSERT_TRUE(aol.Top(2, 0)) << aol.ResultString;
    EXPECT_EQ(aol.FullResult, With(kBobHeader, "."));
    ASSERT_TRUE(aol.Top(2, 0));
    EXPECT_EQ(site->RequestsWith("read=m2&").size(), 1u) << "a header page is fetched once per session";
    ASSERT_TRUE(aol.Stat());
    ASSERT_TRUE(aol.Retr(1));
    EXPECT_EQ(aol.FullResult, With(kAnnaHeader, "")) << "the message of Retr, not the lines of Stat";

    const std::string first = aol.UniqueId(1);
    EXPECT_FALSE(first.empty());
    EXPECT_NE(first, aol.UniqueId(2));
    EXPECT_EQ(aol.NumberOfUniqueId(aol.UniqueId(4)), 4);

    aol.Logout();
    EXPECT_TRUE(site->RequestsWith("POST ").empty()) << "nothing was marked";
    EXPECT_EQ(site->RequestsWith("GET /mail.dci?logout&langid=1\tsession").size(), 1u);
    EXPECT_TRUE(site->RequestsWith("GET /mail.dci?start=1\t-").empty()) << "the redirect's cookie went along";

    // Viewing made the messages read; kept as new, the next session lists all five under the same ids.
    ASSERT_TRUE(aol.Login()) << aol.ResultString;
    EXPECT_EQ(aol.StatCount, 5);
    EXPECT_EQ(aol.UniqueId(1), first);
}

struct TSignInCase {
    const char* name;
    TWebmailSiteOptions site;
    std::string password;
    bool signsIn;
    std::string resultText = "";
    int requests = -1;  // all the site saw, when it matters
};

TEST_F(TAolSendTest, SignIn) {
    const TSignInCase cases[] = {
        {"a password with & and #", {.password = "p&ss #1=2"}, "p&ss #1=2", true},
        {"a wrong password", {}, "wrong", false, "-ERR Incorrect name and/or password, please re-enter"},
        {"an expired session and its retry link", {.expiredFirst = true}, "secret", true},
        {"a site that sends form after form", {.endlessForms = true}, "secret", false,
         "-ERR The sign-in pages did not lead to the mailbox", TAOLSend::MaxSignInPages},
        {"a start page that miscounts its links", {.announce = 4}, "secret", false,
         "-ERR The start page announces 4 new messages and links 5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartSite(c.site);
        AddFive();
        aol.Password = c.password;
        EXPECT_EQ(aol.Login(), c.signsIn) << aol.ResultString;
        EXPECT_EQ(aol.StatCount, c.signsIn ? 5 : 0);
        EXPECT_EQ(aol.Connected(), c.signsIn);
        if (!c.resultText.empty()) {
            EXPECT_EQ(aol.ResultString, c.resultText);
        }
        if (c.requests >= 0) {
            EXPECT_EQ(static_cast<int>(site->Requests().size()), c.requests);
        }
        if (c.signsIn) {
            EXPECT_TRUE(aol.Top(5, 0)) << aol.ResultString;
        }
    }
}

TEST_F(TAolSendTest, AnUnreachableSiteFailsTheSignInWithItsNetworkError) {
    TIniFile(home.File("misc.ini")).WriteString("webmail", "baseurl", "http://127.0.0.1:1/");
    aol.Username = "anna";
    EXPECT_FALSE(aol.Login());
    EXPECT_EQ(aol.BaseUrl(), "http://127.0.0.1:1");
    EXPECT_EQ(aol.SocketError(), WsaConnRefused);
    EXPECT_FALSE(aol.Connected());
}

TEST_F(TAolSendTest, NumbersOutsideTheListAreRefused) {
    StartSite();
    site->AddMessage("m1", TWebmailSite::Pre, {"Subject: one"});
    site->AddMessage("m2", TWebmailSite::Pre, {"Subject: two"});
    EXPECT_FALSE(aol.Top(1, 0)) << "not signed in";
    EXPECT_FALSE(aol.Stat()) << "not signed in";
    ASSERT_TRUE(aol.Login());
    const std::pair<const char*, std::function<bool()>> refused[] = {
        {"List 3", [&] { return aol.List(3); }},   {"List -1", [&] { return aol.List(-1); }},
        {"Top 0", [&] { return aol.Top(0, 0); }},  {"Top 3", [&] { return aol.Top(3, 0); }},
        {"Retr 3", [&] { return aol.Retr(3); }},   {"Dele 0", [&] { return aol.Dele(0); }},
        {"Dele 3", [&] { return aol.Dele(3); }},   {"Uidl 3", [&] { return aol.Uidl(3); }},
    };
    for (const auto& [name, call] : refused) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(call());
        EXPECT_EQ(aol.ResultCode, 0);
        EXPECT_TRUE(aol.FullResult.empty());
    }
    EXPECT_TRUE(aol.List(2));
    EXPECT_EQ(aol.ResultString, "+OK 2 1");
    EXPECT_TRUE(aol.Top(2, 5)) << "a line count asks for a body the site does not show";
    EXPECT_EQ(aol.FullResult, (TLines{"Subject: two", "."}));
}

TEST_F(TAolSendTest, MarkedMessagesAreDeletedByTheirPlaceInOnePostAtSignOff) {
    StartSite();
    AddFive();
    ASSERT_TRUE(aol.Login());
    ASSERT_TRUE(aol.Dele(1));
    ASSERT_TRUE(aol.Reset());
    ASSERT_TRUE(aol.Dele(2));
    ASSERT_TRUE(aol.Dele(4));
    EXPECT_TRUE(site->RequestsWith("POST ").empty()) << "Dele only marks";
    aol.Logout();
    EXPECT_EQ(aol.ResultCode, 1);
    const auto posts = site->RequestsWith("POST ");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0],
              "POST /mail.dci\tsession\tcount=5&box=inbox&list=m1%2Cm2%2Cm3%2Cm4%2Cm5&number=1&msg=2&msg=4"
              "&Delete+Selected+Messages.x=10&Delete+Selected+Messages.y=10");
    EXPECT_EQ(site->MessageIds(), (TLines{"m1", "m3", "m5"}));
    EXPECT_EQ(aol.StatCount, 0);
    EXPECT_TRUE(aol.Messages.empty());
}

TEST_F(TAolSendTest, MailThatComesOrGoesDuringTheSessionMovesNoDeletionToAnotherMessage) {
    StartSite();
    AddFive();
    ASSERT_TRUE(aol.Login());
    ASSERT_TRUE(aol.Dele(3));
    ASSERT_TRUE(aol.Dele(4));
    site->AddMessage("m0", TWebmailSite::Pre, {"Subject: arrived during the session"});
    site->RemoveMessage("m4");
    aol.Logout();
    EXPECT_EQ(aol.ResultCode, 1);
    EXPECT_EQ(site->MessageIds(), (TLines{"m0", "m1", "m2", "m5"}));
}

TEST(CreateMailbox, AolGivesTheWebMailAdapter) {
    auto box = CreateMailbox("AOL");
    EXPECT_NE(dynamic_cast<TAOLSend*>(box.get()), nullptr);
}

TEST(HtmlText, AttributesAndEntities) {
    const struct {
        const char* attributes;
        const char* name;
        const char* value;
    } attributes[] = {
        {R"(type="hidden" name="siteState" value="mail start")", "value", "mail start"},
        {R"(type="text" username="x" name="y")", "name", "y"},
        {R"(NAME='single' value=plain next=1)", "name", "single"},
        {R"(name=plain next=1)", "name", "plain"},
        {R"(value="")", "value", ""},
        {R"(value="&lt;b&gt; &amp;lt;")", "value", "<b> &lt;"},
        {R"(type="submit")", "name", ""},
        {R"(name="unclosed)", "name", "unclosed"},
    };
    for (const auto& a : attributes) EXPECT_EQ(TagAttribute(a.attributes, a.name), a.value) << a.attributes;

    const std::pair<const char*, const char*> entities[] = {
        {"&lt;a@b&gt; &quot;A&quot; &#39;&#x27;&apos;", "<a@b> \"A\" '''"},
        {"&amp;lt; stays &amp;lt;", "&lt; stays &lt;"},
        {"&unknown; & &#300; &#0; &#xZZ; AT&T", "&unknown; & &#300; &#0; &#xZZ; AT&T"},
    };
    for (const auto& [text, decoded] : entities) EXPECT_EQ(DecodeHtmlEntities(text), decoded) << text;
}

}  // namespace
