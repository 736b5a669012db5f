#include "mail/SLAol.h"

#include <algorithm>
#include <optional>

#include "mail/ProtocolText.h"
#include "parsing/TextOps.h"
#include "platform/Home.h"
#include "platform/IniFile.h"

namespace {

constexpr std::string_view kFailureText = "Incorrect name and/or password, please re-enter";
constexpr std::string_view kWelcome = "<b>Welcome (.*)! You have ([0-9]+) new message([s]{0,1}).</b>";
constexpr std::string_view kMessageLink = R"re(<a href="/mail\.dci\?(.*)&box=inbox&(.*)"\>)re";
constexpr std::string_view kForm = "<form (.*)>(.*)</form>";
constexpr std::string_view kInput = "<input (.*)>";
constexpr std::string_view kHeaderBlock = "<pre>--------------------Headers --------------------(.*)</pre>";
constexpr std::string_view kHeaderRow =
    "<tr>\n"
    "<td valign=top><tt><nobr>([^<]*)</nobr></tt></td>\n"
    "<td width=5>&nbsp;</td>\n"
    "<td valign=top><tt>([^<]*)</tt></td>\n"
    "</tr>\n";
constexpr std::string_view kKeepAsNew = R"re(<a href="(.*)"><img src="(.*)" border="0" alt="Keep Message as New">)re";

// The modifiers in force at each search, as the site's pages have always been
// read: case matters only in the message links, and only the first sign-in
// page and the header block take the longest match.
constexpr std::string_view kFirstPageFlags = "isg-m-x";
constexpr std::string_view kMessageLinkFlags = "-i-m-s-x-g";
constexpr std::string_view kFormFlags = "is-m-g";
constexpr std::string_view kHeaderBlockFlags = "isg-m-x";
constexpr std::string_view kRowFlags = "i-s-g-m-x";

constexpr const char* kMailPage = "/mail.dci";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameTextAt(std::string_view text, std::size_t at, std::string_view word) {
    if (at + word.size() > text.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (LowerAscii(text[at + i]) != LowerAscii(word[i])) return false;
    return true;
}

// Where the value of "name=" begins; the name must begin an attribute, so
// that "username=" is not taken for "name=".
std::size_t AttributeValueStart(std::string_view attributes, std::string_view name) {
    for (std::size_t at = 0; at + name.size() < attributes.size(); ++at) {
        if (at > 0 && !IsBlank(attributes[at - 1])) continue;
        if (SameTextAt(attributes, at, name) && attributes[at + name.size()] == '=') return at + name.size() + 1;
    }
    return std::string_view::npos;
}

std::optional<char> EntityByte(std::string_view name) {
    if (name == "lt") return '<';
    if (name == "gt") return '>';
    if (name == "quot") return '"';
    if (name == "amp") return '&';
    if (name == "apos") return '\'';
    if (name == "nbsp") return ' ';
    if (name.size() < 2 || name[0] != '#') return std::nullopt;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return std::nullopt;
    int value = 0;
    for (char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f') digit = LowerAscii(c) - 'a' + 10;
        if (digit < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + digit;
        if (value > 255) return std::nullopt;
    }
    if (value == 0) return std::nullopt;
    return static_cast<char>(value);
}

// The lines of a header block are LF and "<br>"; a CR before the LF belongs
// to the line break too.
std::string JoinBlockLines(std::string_view text) {
    constexpr std::string_view kBreak = "\n<br>";
    std::string joined;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(kBreak, start)) != std::string_view::npos; start = at + kBreak.size()) {
        std::string_view line = text.substr(start, at - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        joined.append(line).append("\r\n");
    }
    joined.append(text.substr(start));
    return joined;
}

std::string JoinQuery(const std::string& action, const std::string& query) {
    return action + (action.find('?') == std::string::npos ? "?" : "&") + query;
}

}  // namespace

std::string WebmailBaseUrl() {
    std::string url = TrimText(TIniFile(ProgramFile("misc.ini")).ReadString("webmail", "baseurl", ""));
    while (!url.empty() && url.back() == '/') url.pop_back();
    return url.empty() ? TAOLSend::DefaultBaseUrl : url;
}

std::string TagAttribute(std::string_view attributes, std::string_view name) {
    std::size_t begin = AttributeValueStart(attributes, name);
    if (begin == std::string_view::npos) return {};
    std::size_t end;
    if (begin < attributes.size() && (attributes[begin] == '"' || attributes[begin] == '\'')) {
        const char quote = attributes[begin++];
        end = attributes.find(quote, begin);
    } else {
        end = attributes.find_first_of(" \t\r\n", begin);
    }
    if (end == std::string_view::npos) end = attributes.size();
    return DecodeHtmlEntities(attributes.substr(begin, end - begin));
}

std::string DecodeHtmlEntities(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '&') {
            const std::size_t semicolon = text.find(';', i + 1);
            if (semicolon != std::string_view::npos && semicolon - i <= 8) {
                if (const auto byte = EntityByte(text.substr(i + 1, semicolon - i - 1))) {
                    decoded += *byte;
                    i = semicolon + 1;
                    continue;
                }
            }
        }
        decoded += text[i++];
    }
    return decoded;
}

// --- the ten operations

bool TAOLSend::Login() {
    Forget();
    signedIn_ = broken_ = false;
    socketError_ = 0;
    baseUrl_ = WebmailBaseUrl();
    http_.Reset();
    http_.SetTimeout(Timeout);
    Matcher.ApplyModifiers(kFirstPageFlags);
    std::string page = Fetch(baseUrl_);
    for (int pages = 1;; ++pages) {
        if (Search(kFailureText, page)) return Fail("-ERR " + std::string(kFailureText));
        if (Search(kWelcome, page)) return TakeStartPage(page);
        // A site that keeps sending forms would hold the sign-in for ever.
        if (pages >= MaxSignInPages) return Fail("-ERR The sign-in pages did not lead to the mailbox");
        const TWebForm form = ParseForm(page);
        if (!form.fields.empty()) {
            page = Fetch(JoinQuery(form.action, form.Query()));
            continue;
        }
        const std::string token = RetryToken(page);
        if (token.empty()) return Fail(broken_ ? "" : "-ERR The web-mail site answered with an unknown page");
        page = Fetch(baseUrl_ + "/login/" + token);
    }
}

void TAOLSend::Logout() {
    if (!signedIn_) {
        Forget();
        ResultCode = 0;
        return;
    }
    const bool carriedOut = SubmitDeletions();
    Fetch(baseUrl_ + kMailPage + "?logout&langid=1");
    Forget();
    signedIn_ = false;
    // Process Mail takes the deletions as done only on a successful sign-off.
    ResultCode = carriedOut ? 1 : 0;
    if (carriedOut) ResultString = "+OK";
}

bool TAOLSend::Reset() {
    for (auto& message : Messages) message.MarkedForDeletion = false;
    return Succeed("+OK");
}

bool TAOLSend::NoOp() { return Succeed("+OK"); }

bool TAOLSend::Stat() {
    if (!signedIn_) return Fail("-ERR Not signed in");
    StatCount = StatSize = static_cast<long long>(Messages.size());
    Succeed("+OK " + std::to_string(StatCount) + " " + std::to_string(StatSize));
    FullResult = {ResultString};
    return true;
}

bool TAOLSend::List(int n) {
    if (!signedIn_ || n < 0 || n > static_cast<int>(Messages.size())) return Fail("-ERR No such message");
    if (n > 0) return Succeed("+OK " + std::to_string(n) + " 1");
    std::vector<std::string> lines;
    for (std::size_t i = 1; i <= Messages.size(); ++i) lines.push_back(std::to_string(i) + " 1");
    lines.push_back(".");
    Succeed(".");
    FullResult = std::move(lines);
    return true;
}

bool TAOLSend::Retr(int n) {
    if (!LoadHeader(n)) return false;
    const std::string& header = Messages[n - 1].Header;
    Succeed(header);
    // The whole message, as far as the site shows it: the header and an empty body.
    FullResult = SplitLines(header);
    FullResult.emplace_back();
    return true;
}

bool TAOLSend::Dele(int n) {
    if (!signedIn_ || n < 1 || n > static_cast<int>(Messages.size())) return Fail("-ERR No such message");
    Messages[n - 1].MarkedForDeletion = true;
    return Succeed("+OK");
}

bool TAOLSend::Top(int n, int) {
    if (!LoadHeader(n)) return false;
    Succeed(".");
    FullResult = SplitLines(Messages[n - 1].Header);
    FullResult.emplace_back(".");
    return true;
}

bool TAOLSend::Uidl(int n) {
    if (!signedIn_ || n < 0 || n > static_cast<int>(Messages.size())) return Fail("-ERR No such message");
    if (n > 0) return Succeed("+OK " + std::to_string(n) + " " + IdOf(n));
    std::vector<std::string> lines;
    for (int i = 1; i <= static_cast<int>(Messages.size()); ++i) lines.push_back(std::to_string(i) + " " + IdOf(i));
    Succeed("+OK");
    FullResult = std::move(lines);
    return true;
}

// --- unique ids and the connection

bool TAOLSend::LoadUniqueIds() { return signedIn_; }

std::string TAOLSend::UniqueId(int n) {
    if (n < 1 || n > static_cast<int>(Messages.size())) return {};
    const std::string id = IdOf(n);
    return NumberOfUniqueId(id) == n ? id : std::string();
}

int TAOLSend::NumberOfUniqueId(const std::string& id) {
    int found = 0;
    for (int i = 1; i <= static_cast<int>(Messages.size()); ++i) {
        if (IdOf(i) != id) continue;
        // A link given to two messages names neither.
        if (found) return 0;
        found = i;
    }
    return id.empty() ? 0 : found;
}

bool TAOLSend::Connected() { return signedIn_ && !broken_; }

int TAOLSend::SocketError() { return socketError_; }

// --- sign-in

bool TAOLSend::TakeStartPage(const std::string& page) {
    const std::string announced = Matcher.Match(2);
    startPage_ = lastAddress_;
    for (auto& url : LinksOf(page)) {
        TAOLMessage message;
        message.Url = std::move(url);
        Messages.push_back(std::move(message));
    }
    if (ParseDecimal(announced, -1) != static_cast<long long>(Messages.size())) {
        const std::size_t linked = Messages.size();
        Forget();
        return Fail("-ERR The start page announces " + announced + " new messages and links " + std::to_string(linked));
    }
    signedIn_ = true;
    StatCount = StatSize = static_cast<long long>(Messages.size());
    return Succeed("+OK");
}

std::vector<std::string> TAOLSend::LinksOf(const std::string& page) {
    std::vector<std::string> urls;
    Matcher.ApplyModifiers(kMessageLinkFlags);
    if (!Search(kMessageLink, page)) return urls;
    do {
        urls.push_back(baseUrl_ + kMailPage + "?" + Matcher.Match(1) + "&box=inbox&" + Matcher.Match(2));
    } while (SearchNext());
    return urls;
}

TAOLSend::TWebForm TAOLSend::ParseForm(const std::string& page) {
    TWebForm form;
    form.action = baseUrl_ + kMailPage;
    Matcher.ApplyModifiers(kFormFlags);
    if (!Search(kForm, page)) return form;
    form.found = true;
    const std::string attributes = Matcher.Match(1), inputs = Matcher.Match(2);
    const std::string action = TagAttribute(attributes, "action");
    if (!action.empty()) form.action = AbsoluteAddress(action);
    if (!Search(kInput, inputs)) return form;
    do {
        const std::string tag = Matcher.Match(1);
        std::string name = TagAttribute(tag, "name");
        if (name.empty()) continue;
        std::string value = name == "username" ? Username : name == "password" ? Password : TagAttribute(tag, "value");
        form.fields.emplace_back(std::move(name), std::move(value));
    } while (SearchNext());
    return form;
}

std::string TAOLSend::RetryToken(const std::string& page) {
    Matcher.ApplyModifiers(kFormFlags);
    const std::string pattern =
        "Click <a href=\"" + EscapeRegexMeta(baseUrl_) + "/login/([0-9A-Z]{32})\">here</a> to try again.<br>";
    return Search(pattern, page) ? Matcher.Match(1) : std::string();
}

std::string TAOLSend::TWebForm::Value(std::string_view name) const {
    for (const auto& [field, value] : fields)
        if (field == name) return value;
    return {};
}

// Every name and value encoded: an "&" or "#" in a password must not end it.
std::string TAOLSend::TWebForm::Query() const {
    std::string query;
    for (const auto& [name, value] : fields) {
        if (!query.empty()) query += '&';
        query += FormEncode(name) + "=" + FormEncode(value);
    }
    return query;
}

// --- message pages

bool TAOLSend::LoadHeader(int n) {
    if (!signedIn_ || n < 1 || n > static_cast<int>(Messages.size())) return Fail("-ERR No such message");
    TAOLMessage& message = Messages[n - 1];
    if (message.HeaderLoaded) return true;
    const THttpResponse response = http_.HttpRequest(message.Url);
    if (!response.ok) {
        broken_ = true;
        socketError_ = response.socketError;
        return Fail("");
    }
    message.Header = HeaderOfPage(response.page);
    KeepAsNew(response.page);
    // A page without a header is no page of this message: asked for again next time.
    if (message.Header.empty()) return Fail("-ERR The page of message " + std::to_string(n) + " shows no header");
    message.HeaderLoaded = true;
    return true;
}

std::string TAOLSend::HeaderOfPage(const std::string& page) {
    Matcher.ApplyModifiers(kHeaderBlockFlags);
    if (Search(kHeaderBlock, page)) return TrimText(DecodeHtmlEntities(JoinBlockLines(Matcher.MatchView(1))));
    Matcher.ApplyModifiers(kRowFlags);
    std::string header;
    if (!Search(kHeaderRow, page)) return header;
    do {
        if (!header.empty()) header += "\r\n";
        header += DecodeHtmlEntities(Matcher.MatchView(1)) + " " + DecodeHtmlEntities(Matcher.MatchView(2));
    } while (SearchNext());
    return header;
}

// Viewing a message makes it read on the site, and the start page lists only
// new messages: without this the next sign-in would not see it again.
void TAOLSend::KeepAsNew(const std::string& page) {
    Matcher.ApplyModifiers(kRowFlags);
    if (Search(kKeepAsNew, page)) http_.HttpRequest(AbsoluteAddress(DecodeHtmlEntities(Matcher.MatchView(1))));
}

// --- deletion

// The inbox form names the messages by their place on the start page, and
// mail may have come or gone since the sign-in: the places are taken from the
// start page as it is now.
bool TAOLSend::SubmitDeletions() {
    if (std::none_of(Messages.begin(), Messages.end(), [](const TAOLMessage& m) { return m.MarkedForDeletion; }))
        return true;
    std::vector<std::string> listed;
    if (!ReadStartPageAgain(listed)) return Fail(broken_ ? "" : "-ERR The start page could not be read again");
    std::string marks;
    for (std::size_t place = 0; place < listed.size(); ++place)
        if (IsMarked(listed[place]) && std::count(listed.begin(), listed.end(), listed[place]) == 1)
            marks += "&msg=" + std::to_string(place + 1);
    // The marked messages are gone already.
    if (marks.empty()) return true;
    const std::string page = Fetch(baseUrl_ + kMailPage + "?box=inbox&tabs=yes");
    const TWebForm form = ParseForm(page);
    if (!form.found) return Fail(broken_ ? "" : "-ERR The inbox page has no form to delete with");
    const std::string body = "count=" + FormEncode(form.Value("count")) + "&box=" + FormEncode(form.Value("box")) +
                             "&list=" + FormEncode(form.Value("list")) + "&number=" + FormEncode(form.Value("number")) +
                             marks + "&Delete+Selected+Messages.x=10&Delete+Selected+Messages.y=10";
    const THttpResponse posted = http_.HttpRequest(baseUrl_ + kMailPage, "POST",
                                                   {"Content-Type: application/x-www-form-urlencoded"}, body);
    if (!posted.ok) {
        broken_ = true;
        socketError_ = posted.socketError;
        return Fail("");
    }
    if (posted.status >= 400)
        return Fail("-ERR The site refused the deletion (HTTP " + std::to_string(posted.status) + ")");
    return true;
}

bool TAOLSend::ReadStartPageAgain(std::vector<std::string>& links) {
    const std::string page = Fetch(startPage_);
    Matcher.ApplyModifiers(kFirstPageFlags);
    if (!Search(kWelcome, page)) return false;
    links = LinksOf(page);
    return true;
}

// Marked, and the only message of the session with this link.
bool TAOLSend::IsMarked(const std::string& url) const {
    const auto same = [&](const TAOLMessage& m) { return m.Url == url; };
    const auto found = std::find_if(Messages.begin(), Messages.end(), same);
    return found != Messages.end() && found->MarkedForDeletion &&
           std::count_if(Messages.begin(), Messages.end(), same) == 1;
}

// --- helpers

// A pattern that runs out of its step budget on a hostile page finds nothing.
bool TAOLSend::Search(std::string_view pattern, const std::string& text) {
    try {
        Matcher.SetExpression(pattern);
        return Matcher.Exec(text);
    } catch (const TRegexError&) {
        return false;
    }
}

bool TAOLSend::SearchNext() {
    try {
        return Matcher.ExecNext();
    } catch (const TRegexError&) {
        return false;
    }
}

std::string TAOLSend::Fetch(const std::string& address) {
    THttpResponse response = http_.HttpRequest(address);
    lastAddress_ = response.address.empty() ? address : response.address;
    if (!response.ok) {
        broken_ = true;
        socketError_ = response.socketError;
    }
    return std::move(response.page);
}

std::string TAOLSend::AbsoluteAddress(const std::string& link) const {
    if (StartsWithNoCase(link, "http://") || StartsWithNoCase(link, "https://")) return link;
    return baseUrl_ + (StartsWith(link, "/") ? "" : "/") + link;
}

// The message's link without the site's address.
std::string TAOLSend::IdOf(int n) const {
    const std::string& url = Messages[n - 1].Url;
    const std::string prefix = baseUrl_ + kMailPage + "?";
    return StartsWith(url, prefix) ? url.substr(prefix.size()) : url;
}

bool TAOLSend::Succeed(std::string status) {
    ResultString = std::move(status);
    ResultCode = 1;
    FullResult.clear();
    return true;
}

bool TAOLSend::Fail(std::string status) {
    ResultString = std::move(status);
    ResultCode = 0;
    FullResult.clear();
    return false;
}

void TAOLSend::Forget() {
    Messages.clear();
    StatCount = StatSize = 0;
}
