#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "filtering/Regex.h"
#include "mail/HttpRequest.h"
#include "mail/Pop3Client.h"

// A message listed on the web-mail start page.
struct TAOLMessage {
    bool HeaderLoaded = false;
    bool MarkedForDeletion = false;
    std::string Url;     // its page
    std::string Header;  // rebuilt from that page, lines separated by CR LF
};

// An AOL mailbox read through the web-mail pages, answering as a POP3 server
// would: sign-in through the forms, the new messages linked on the start page,
// one page per message for its header (bodies are never fetched), and the
// deletions sent through the inbox page's form at sign-off. Every message has
// size 1.
//
// Unique ids are the messages' links (without the site's address), so Process
// Mail finds a message again in a later session whatever its position.
//
// Host, Port and AuthType are not used; Timeout bounds each page request.
class TAOLSend : public TPop3Client {
public:
    static constexpr const char* DefaultBaseUrl = "http://webmail.aol.com";
    // Sign-in pages followed before the sign-in is given up.
    static constexpr int MaxSignInPages = 10;

    bool Login() override;
    void Logout() override;
    bool Reset() override;
    bool NoOp() override;
    bool Stat() override;
    bool List(int n) override;
    bool Retr(int n) override;
    bool Dele(int n) override;
    // The header is all there is: the lines argument asks for nothing more.
    bool Top(int n, int lines) override;
    bool Uidl(int n) override;

    void PrefetchHeaders(int, int) override {}
    bool LoadUniqueIds() override;
    std::string UniqueId(int n) override;
    int NumberOfUniqueId(const std::string& id) override;
    bool Connected() override;
    int SocketError() override;

    // The site's address of the last Login.
    const std::string& BaseUrl() const { return baseUrl_; }

    // One pattern object for every page; its modifiers carry over from one
    // search to the next, each search setting only the ones it depends on.
    TRegex Matcher;
    // Message n is entry n-1, in the order of the start page.
    std::vector<TAOLMessage> Messages;

private:
    struct TWebForm {
        bool found = false;
        std::string action;
        std::vector<std::pair<std::string, std::string>> fields;
        std::string Value(std::string_view name) const;
        std::string Query() const;
    };

    bool Search(std::string_view pattern, const std::string& text);
    bool SearchNext();
    std::string Fetch(const std::string& address);
    std::string AbsoluteAddress(const std::string& link) const;

    bool TakeStartPage(const std::string& page);
    std::vector<std::string> LinksOf(const std::string& page);
    TWebForm ParseForm(const std::string& page);
    std::string RetryToken(const std::string& page);

    bool LoadHeader(int n);
    std::string HeaderOfPage(const std::string& page);
    void KeepAsNew(const std::string& page);
    bool SubmitDeletions();
    bool ReadStartPageAgain(std::vector<std::string>& links);
    bool IsMarked(const std::string& url) const;

    std::string IdOf(int n) const;
    bool Succeed(std::string status);
    bool Fail(std::string status);
    void Forget();

    THttpSession http_;
    std::string baseUrl_;
    std::string startPage_;    // address of the session's start page
    std::string lastAddress_;  // of the last page fetched, after redirects
    bool signedIn_ = false;
    bool broken_ = false;  // a page request failed on the network
    int socketError_ = 0;
};

// The web-mail address: [webmail] baseurl of misc.ini in the home folder,
// without a trailing "/"; TAOLSend::DefaultBaseUrl when not set.
std::string WebmailBaseUrl();

// The value of attribute name (without regard to case) in the inside of an
// HTML tag, quotes taken off and entities decoded; empty when absent.
std::string TagAttribute(std::string_view attributes, std::string_view name);

// &lt; &gt; &quot; &amp; &apos; &nbsp; and numeric references of one byte, in
// one pass (so "&amp;lt;" gives "&lt;"); anything else is left as it stands.
std::string DecodeHtmlEntities(std::string_view text);
