#pragma once

// The web-mail site of the AOL tests (tests/servers/webmail_site.py): a Python
// http.server on a free loopback port, started by the constructor in a folder
// of its own and stopped by the destructor. Its mailbox is a folder of
// message files the test may change at any time; every request the site got
// can be read back.
//
//     TTempHome home;
//     TWebmailSite site(home.File("site"), {.password = "p&ss"});
//     site.AddMessage("m1", TWebmailSite::Pre, {"From: a@b.test", "Subject: hi"});
//     site.PointHomeHere(home.Path());   // misc.ini: [webmail] baseurl=...
//     ... site.MessageIds() is what is left, site.Requests() what was asked.

#include <string>
#include <sys/types.h>
#include <vector>

struct TWebmailSiteOptions {
    std::string user = "anna";
    std::string password = "secret";
    bool endlessForms = false;   // every sign-in answer is another form
    bool expiredFirst = false;   // the first sign-in answer offers only the retry link
    int announce = -1;           // the count the welcome line announces; -1: the true one
};

class TWebmailSite {
public:
    enum TLayout { Pre, Table };

    explicit TWebmailSite(std::string folder, TWebmailSiteOptions options = {});
    ~TWebmailSite();
    TWebmailSite(const TWebmailSite&) = delete;
    TWebmailSite& operator=(const TWebmailSite&) = delete;

    bool Running() const { return !baseUrl_.empty(); }
    // "http://127.0.0.1:PORT"
    const std::string& BaseUrl() const { return baseUrl_; }
    // Makes the program in this home folder use the site.
    void PointHomeHere(const std::string& homeFolder) const;

    // Messages are listed in the order of their ids.
    void AddMessage(const std::string& id, TLayout layout, const std::vector<std::string>& headerLines) const;
    void RemoveMessage(const std::string& id) const;
    std::vector<std::string> MessageIds() const;

    // "METHOD TARGET\tSESSION\tBODY" per request, in order; SESSION is
    // "session" when the request carried a valid session cookie, else "-".
    std::vector<std::string> Requests() const;
    // The requests whose line contains the text.
    std::vector<std::string> RequestsWith(const std::string& text) const;

private:
    std::string folder_;
    std::string baseUrl_;
    pid_t pid_ = -1;
};
