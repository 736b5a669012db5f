#include "Cli.h"

#include "CliUserInterface.h"
#include "MailRun.h"
#include "TerminalText.h"
#include "core/DataModule.h"
#include "core/Scramble.h"
#include "data/TTableError.h"
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"
#include "mail/TlsSettings.h"
#include "parsing/TextOps.h"
#include "platform/Home.h"

#include <algorithm>
#include <cstdlib>
#include <unistd.h>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

// ---------------------------------------------------------------- command line

struct TUsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct TFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct TOption {
    const char* name;  // without "--"
    const char* value;  // the value's name in the help; nullptr for a flag
    const char* help;
};

const std::vector<TOption> kGlobalOptions = {
    {"home", "DIR", "use DIR as the home folder instead of $TARNWICK_HOME or ~/.local/share/tarnwick"},
    {"identity", "NAME", "sign in as NAME (default: the auto-login identity, else the default one)"},
    {"password-fd", "N", "read the identity's password from file descriptor N (default 0, standard input)"},
    {"yes", nullptr, "answer yes to every question"},
    {"help", nullptr, "show the help of the command"},
};

struct TParsed {
    std::map<std::string, std::string> options;
    std::vector<std::string> args;
    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& def = "") const {
        const auto it = options.find(name);
        return it == options.end() ? def : it->second;
    }
};

class TContext;

struct TCommand {
    std::string group, verb, arguments, summary;
    std::vector<TOption> options;
    size_t minArgs = 0, maxArgs = 0;  // maxArgs SIZE_MAX: any number
    bool needsSignIn = false;
    std::string details;
    std::function<int(TContext&, const TParsed&)> run;
    // A command of one word ("check") has an empty verb.
    std::string Name() const { return verb.empty() ? group : group + " " + verb; }
};

long ParseNumber(const std::string& option, const std::string& text, long low, long high, const char* what) {
    size_t used = 0;
    long value = 0;
    try {
        value = std::stol(text, &used, 10);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || value < low || value > high || text[0] == '+' || text[0] == ' ')
        throw TUsageError(option + ": '" + text + "' is not " + what);
    return value;
}

// ---------------------------------------------------------------- the work

class TContext {
public:
    TDM dm;
    TCliUserInterface ui;
    TUserInterfaceScope scope;

    TContext(bool yes) : ui(dm, yes), scope(ui) { dm.DataModuleCreate(); }

    void SignIn(const TParsed& p) {
        const std::string name = p.Get("identity");
        int fd = 0;
        if (p.Has("password-fd")) fd = static_cast<int>(ParseNumber("--password-fd", p.Get("password-fd"), 0, 1 << 20, "a file descriptor"));
        ui.SetIdentity(name, fd);
        // A named identity always goes through the identity's password.
        if (!name.empty()) dm.AutoLoginFound = false;
        ui.TakeErrorShown();
        dm.Actions["Login"].Execute();
        if (dm.NotLoggedIn) {
            if (!ui.TakeErrorShown()) CliError("not signed in");
            throw TFailure("");
        }
    }

    TTable& List(const std::string& group) { return group == "friends" ? dm.cdsFriends : dm.cdsBlackList; }
};

std::vector<TCommand> Commands();

// Refuses a value longer than its field: the table would keep it cut.
void CheckFits(TTable& table, const std::string& field, const std::string& option, const std::string& value) {
    const int size = table.FieldDef(field).size;
    if (size > 0 && value.size() > static_cast<size_t>(size))
        throw TUsageError(option + ": longer than " + std::to_string(size) + " characters");
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TFailure("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw TFailure("cannot read " + path);
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// --- identity

int IdentityAdd(TContext& c, const TParsed& p) {
    const std::string name = p.args[0];
    int fd = 0;
    if (p.Has("password-fd")) fd = static_cast<int>(ParseNumber("--password-fd", p.Get("password-fd"), 0, 1 << 20, "a file descriptor"));
    const auto password = ReadSecretLine(fd, "Password of the new identity " + name + " (empty for none): ");
    std::string repeat = password.value_or("");
    if (isatty(fd)) repeat = ReadSecretLine(fd, "Repeat password: ").value_or("");
    const bool first = c.dm.cdsIdentities.IsEmpty();
    if (!c.dm.CheckNewIdentity(name, password.value_or(""), repeat) || !c.dm.CreateIdentity(name, password.value_or("")))
        throw TFailure("");
    if (first) c.dm.Actions["DefaultIdentity"].Execute();
    return kExitOk;
}

int IdentityList(TContext& c, const TParsed&) {
    TTable& t = c.dm.cdsIdentities;
    for (t.First(); !t.Eof(); t.Next()) {
        std::string marks;
        if (t.AsBoolean("default")) marks += "default";
        if (t.AsBoolean("AutoLogin")) marks += marks.empty() ? "autologin" : ",autologin";
        std::cout << t.AsInteger("id") << '\t' << TerminalText(t.AsString("username")) << '\t' << marks << '\n';
    }
    return kExitOk;
}

// --- account

struct TAccountField {
    const char* option;
    const char* field;
    bool port;
};
const TAccountField kAccountFields[] = {
    {"description", "description", false}, {"host", "host", false},           {"port", "port", true},
    {"proto", "proto", false},             {"login", "login", false},         {"smtp-host", "smtp_host", false},
    {"smtp-port", "smtp_host_port", true}, {"email", "email", false},
};

// The stored word of a security option, empty when it is not given.
std::string SecurityOption(const TParsed& p, const char* option) {
    if (!p.Has(option)) return {};
    const auto security = ParseSecurity(p.Get(option));
    if (!security || p.Get(option).empty())
        throw TUsageError(std::string("--") + option + ": '" + p.Get(option) + "' is not auto, tls, starttls or none");
    return SecurityWord(*security);
}

int AccountAdd(TContext& c, const TParsed& p) {
    TTable& a = c.dm.cdsAccounts;
    // Everything is checked before the row exists, so a refusal stores nothing.
    std::vector<std::pair<const char*, TValue>> values;
    for (const auto& f : kAccountFields) {
        if (!p.Has(f.option)) continue;
        const std::string option = std::string("--") + f.option, text = p.Get(f.option);
        if (f.port) {
            values.emplace_back(f.field, std::int64_t{ParseNumber(option, text, 1, 65535, "a port number (1 to 65535)")});
            continue;
        }
        std::string value = text;
        if (std::string(f.field) == "proto") {
            for (auto& ch : value) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (value != "POP3" && value != "IMAP" && value != "AOL")
                throw TUsageError("--proto: '" + text + "' is not POP3, IMAP or AOL");
        }
        CheckFits(a, f.field, option, value);
        values.emplace_back(f.field, value);
    }
    for (const char* required : {"login", "email"})
        if (IsBlankText(p.Get(required))) throw TUsageError(std::string("--") + required + " is required");
    // TLS from the first byte is served on its own port; unless told otherwise, the usual one.
    const std::string security = SecurityOption(p, "security"), smtpSecurity = SecurityOption(p, "smtp-security");
    if (!security.empty()) values.emplace_back("security", security);
    if (!smtpSecurity.empty()) values.emplace_back("smtp_security", smtpSecurity);
    if (security == "tls" && !p.Has("port"))
        values.emplace_back("port", std::int64_t{SameIgnoringCase(p.Get("proto"), "IMAP") ? 993 : 995});
    if (smtpSecurity == "tls" && !p.Has("smtp-port")) values.emplace_back("smtp_host_port", std::int64_t{465});
    std::optional<std::string> password;
    if (p.Has("account-password-fd")) {
        const int fd = static_cast<int>(ParseNumber("--account-password-fd", p.Get("account-password-fd"), 0, 1 << 20, "a file descriptor"));
        password = ReadSecretLine(fd, "Password of the account: ").value_or("");
        if (password->size() > kAccountPasswordMax)
            throw TUsageError("the account password is longer than " + std::to_string(kAccountPasswordMax) + " characters");
    }
    if (!c.dm.Actions["AddAccount"].Execute()) throw TFailure("an account cannot be added now");
    for (auto& [field, value] : values) a.SetValue(field, value);
    if (password && !c.dm.SetAccountPassword(*password)) {
        a.Cancel();
        throw TFailure("");
    }
    try {
        c.dm.Actions["ApplyAcc"].Execute();
    } catch (const TTableError& e) {
        a.Cancel();
        throw TFailure(e.what());
    }
    if (a.State() != TTable::TState::Browse) {
        a.Cancel();
        throw TFailure("the account was not stored");
    }
    std::cout << a.AsInteger("id") << '\n';
    return kExitOk;
}

int AccountList(TContext& c, const TParsed&) {
    TTable& a = c.dm.cdsAccounts;
    for (a.First(); !a.Eof(); a.Next())
        std::cout << a.AsInteger("id") << '\t' << TerminalText(a.AsString("description")) << '\t'
                  << a.AsString("proto") << '\t' << TerminalText(a.AsString("host")) << '\t' << a.AsString("port")
                  << '\t' << TerminalText(a.AsString("login")) << '\t' << TerminalText(a.AsString("smtp_host"))
                  << '\t' << a.AsString("smtp_host_port") << '\t' << TerminalText(a.AsString("email")) << '\n';
    return kExitOk;
}

void LocateAccount(TContext& c, const std::string& text) {
    const long id = ParseNumber("ID", text, 1, 0x7fffffff, "an account number");
    if (!c.dm.cdsAccounts.Locate("id", std::int64_t{id}))
        throw TFailure("identity '" + c.dm.CurrentUserName + "' has no account " + text);
}

int AccountDelete(TContext& c, const TParsed& p) {
    LocateAccount(c, p.args[0]);
    if (!c.dm.Actions["DeleteAccount"].Execute()) throw TFailure("the account cannot be deleted now");
    if (!c.dm.cdsAccounts.Save()) throw TFailure(c.dm.cdsAccounts.LastError());
    return kExitOk;
}

int AccountTrust(TContext& c, const TParsed& p) {
    const std::string& text = p.args[1];
    std::string trusted;
    if (text != "none") {
        const auto digits = ParseFingerprint(text);
        if (!digits) throw TUsageError("'" + text + "' is not a SHA-256 fingerprint (64 hex digits, colons allowed)");
        trusted = FingerprintText(*digits);
    }
    LocateAccount(c, p.args[0]);
    TTable& a = c.dm.cdsAccounts;
    a.Edit();
    a.SetValue(p.Has("smtp") ? "smtp_trusted_cert" : "trusted_cert", trusted);
    try {
        if (a.Post()) return kExitOk;
    } catch (const TTableError& e) {
        a.Cancel();
        throw TFailure(e.what());
    }
    a.Cancel();
    throw TFailure("the account was not stored");
}

int AccountTest(TContext& c, const TParsed& p) {
    LocateAccount(c, p.args[0]);
    const TAccountTestResult result = c.dm.TestAccount();
    return result.Ran && result.IncomingOk && result.SmtpOk ? kExitOk : kExitFailed;
}

// --- friends and blacklist

void CheckEntries(TTable& list, const std::vector<std::string>& entries, const std::string& where) {
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string at = where.empty() ? "" : where + std::to_string(i + 1) + ": ";
        if (IsBlankText(entries[i])) throw TUsageError(at + "an entry is blank (Please enter value!)");
        CheckFits(list, "name", at + "'" + entries[i] + "'", entries[i]);
    }
}

void AddEntries(TTable& list, const std::vector<std::string>& entries) {
    for (const auto& entry : entries) {
        list.Append();
        list.SetValue("name", entry);
        if (!list.Post()) {
            list.Cancel();
            throw TFailure("");
        }
    }
}

int ListAdd(TContext& c, const TParsed& p) {
    TTable& list = c.List(p.options.at("#group"));
    CheckEntries(list, p.args, "");
    AddEntries(list, p.args);
    return kExitOk;
}

int ListRemove(TContext& c, const TParsed& p) {
    TTable& list = c.List(p.options.at("#group"));
    for (const auto& entry : p.args) {
        bool found = false;
        for (list.First(); !list.Eof() && !found; list.Next()) found = SameIgnoringCase(list.AsString("name"), entry);
        if (!found) throw TFailure("'" + entry + "' is not listed");
    }
    for (const auto& entry : p.args) {
        for (list.First(); !list.Eof();) {
            if (SameIgnoringCase(list.AsString("name"), entry)) list.Delete();
            else list.Next();
        }
    }
    if (!list.Save()) throw TFailure(list.LastError());
    return kExitOk;
}

int ListList(TContext& c, const TParsed& p) {
    TTable& list = c.List(p.options.at("#group"));
    for (list.First(); !list.Eof(); list.Next()) std::cout << TerminalText(list.AsString("name")) << '\n';
    return kExitOk;
}

int ListImport(TContext& c, const TParsed& p) {
    TTable& list = c.List(p.options.at("#group"));
    std::vector<std::string> entries;
    // The part before the first comma of every line, without blanks around it.
    for (const auto& line : Lines(ReadWholeFile(p.args[0]))) entries.push_back(TrimText(line.substr(0, line.find(','))));
    CheckEntries(list, entries, p.args[0] + ": line ");
    AddEntries(list, entries);
    return kExitOk;
}

int ListExport(TContext& c, const TParsed& p) {
    TTable& list = c.List(p.options.at("#group"));
    std::string text;
    for (list.First(); !list.Eof(); list.Next()) text += list.AsString("name") + "\r\n";
    std::ofstream out(p.args[0], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw TFailure("cannot write " + p.args[0]);
    return kExitOk;
}

// --- filters

int FiltersImport(TContext& c, const TParsed& p) {
    const std::vector<std::string> lines = Lines(ReadWholeFile(p.args[0]));
    if (lines.empty() || lines[0] != "Tarnwick filters")
        throw TFailure(p.args[0] + " is no filter file (its first line is not \"Tarnwick filters\")");
    TFilterDM filters;
    c.ui.SetFile(p.args[0]);
    try {
        FilterEngine().ImportFilters();
        filters.Close();
    } catch (const std::exception& e) {
        throw TFailure(e.what());
    }
    return kExitOk;
}

int FiltersExport(TContext& c, const TParsed& p) {
    TFilterDM filters;
    c.ui.SetFile(p.args[0]);
    try {
        FilterEngine().ExportFilters();
    } catch (const std::exception& e) {
        throw TFailure(e.what());
    }
    std::ifstream check(p.args[0]);
    if (!check) throw TFailure("cannot write " + p.args[0]);
    return kExitOk;
}

// ---------------------------------------------------------------- the table of commands

std::vector<TCommand> Commands() {
    const std::vector<TOption> accountOptions = {
        {"description", "TEXT", "the account's name (default \"<New account>\")"},
        {"host", "HOST", "the incoming mail server"},
        {"port", "N", "its port (default 110)"},
        {"proto", "PROTO", "POP3 (default), IMAP or AOL"},
        {"login", "NAME", "the account's user name (required)"},
        {"account-password-fd", "N",
         "read the account's password from file descriptor N; when N is also the identity's and the identity "
         "has a password, the line after that one"},
        {"smtp-host", "HOST", "the outgoing server"},
        {"smtp-port", "N", "its port (default 25; 465 with --smtp-security tls)"},
        {"email", "ADDRESS", "the account's own address (required)"},
        {"security", "MODE",
         "how the incoming server is secured: auto (default: TLS on port 995 or 993, else STARTTLS when offered), "
         "tls (TLS from the first byte; port 995 or 993 unless --port), starttls, or none"},
        {"smtp-security", "MODE", "the same for the outgoing server (auto: TLS on port 465)"},
    };
    const std::vector<TOption> checkOptions = {{"verbose", nullptr, "print the log of the scan too"}};
    const std::vector<TOption> processOptions = {
        {"verbose", nullptr, "print the logs of the scan and of the processing too"},
        {"dry-run", nullptr, "show what would be deleted, bounced and forwarded; change nothing on any server"},
    };
    std::vector<TCommand> commands = {
        {"check", "", "", "Receive Mail: scan the signed-in identity's accounts and list InBox and DelBox",
         checkOptions, 0, 0, true,
         "Each row: account, sender, subject, size, date; DelBox rows also the action and the reason. "
         "Nothing changes on the servers. An account that cannot be scanned is named on standard error with "
         "the reason, and the exit status is 1.",
         [](TContext& c, const TParsed& p) { return RunCheck(c.dm, p.Has("verbose")); }},
        {"process", "", "", "check, then Process Mail: delete the DelBox messages on their servers",
         processOptions, 0, 0, true,
         "Messages caught with \"kill after error message\" get the error message first, those caught with "
         "\"kill and send header\" have their header forwarded to the account's own address. A message that "
         "changed on the server since the scan is never deleted. Each row tells what was really done. Exit status 1 "
         "when an account could not be scanned or processed (named on standard error), or a message was kept, "
         "its header not forwarded or its error message not sent.",
         [](TContext& c, const TParsed& p) { return RunProcess(c.dm, p.Has("verbose"), p.Has("dry-run")); }},
        {"identity", "add", "NAME", "make a new identity",
         {}, 1, 1, false,
         "The password is the first line of standard input (or of --password-fd N); an empty line or no input "
         "makes an identity without password. At most 19 characters.",
         IdentityAdd},
        {"identity", "list", "", "list the identities: id, user name, marks (default, autologin)", {}, 0, 0, false, "",
         IdentityList},
        {"account", "add", "", "add an account to the signed-in identity; prints its id", accountOptions, 0, 0, true,
         "", AccountAdd},
        {"account", "list", "",
         "list the signed-in identity's accounts: id, description, protocol, host, port, login, SMTP host, "
         "SMTP port, e-mail",
         {}, 0, 0, true, "", AccountList},
        {"account", "delete", "ID", "delete an account of the signed-in identity", {}, 1, 1, true, "", AccountDelete},
        {"account", "test", "ID", "sign in to the account's servers and tell the result; exit 0 when both work",
         {}, 1, 1, true, "", AccountTest},
        {"account", "trust", "ID FINGERPRINT",
         "trust a certificate that does not verify (self-signed, expired, for another name) for an account's server",
         {{"smtp", nullptr, "for the outgoing server instead of the incoming one"}}, 2, 2, true,
         "FINGERPRINT is the SHA-256 fingerprint that the account test or the scan names when it refuses the "
         "server's certificate. Only that certificate is trusted: if the server ever shows another one, it is "
         "refused again. \"none\" trusts no certificate beyond those that verify.",
         AccountTrust},
        {"filters", "import", "FILE", "add the filters of a filter file", {}, 1, 1, false, "", FiltersImport},
        {"filters", "export", "FILE", "write every filter to a filter file", {}, 1, 1, false, "", FiltersExport},
    };
    for (const char* group : {"friends", "blacklist"}) {
        const std::string list = std::string(group) == "friends" ? "the friends list" : "the blacklist";
        commands.push_back({group, "add", "ENTRY...", "add entries to " + list, {}, 1, SIZE_MAX, false, "", ListAdd});
        commands.push_back({group, "remove", "ENTRY...", "remove entries (any letter case) from " + list, {}, 1,
                            SIZE_MAX, false, "", ListRemove});
        commands.push_back({group, "list", "", "print " + list + ", one entry a line", {}, 0, 0, false, "", ListList});
        commands.push_back({group, "import", "FILE",
                            "add the first comma-separated piece of every line of a text file to " + list, {}, 1, 1,
                            false, "A blank piece refuses the whole file.", ListImport});
        commands.push_back({group, "export", "FILE", "write " + list + " to a text file, one entry a line", {}, 1, 1,
                            false, "", ListExport});
    }
    return commands;
}

void PrintOptions(const std::vector<TOption>& options) {
    for (const auto& o : options) {
        std::string left = std::string("  --") + o.name + (o.value ? std::string(" ") + o.value : "");
        if (left.size() < 28) left.resize(28, ' ');
        else left += "  ";
        std::cout << left << o.help << '\n';
    }
}

void PrintHelp(const std::vector<TCommand>& commands, const std::string& group, const TCommand* command) {
    if (command) {
        std::cout << "Usage: tarnwick-cli [OPTIONS] " << command->Name()
                  << (command->arguments.empty() ? "" : " " + command->arguments) << (command->options.empty() ? "" : " [COMMAND OPTIONS]")
                  << "\n\n" << static_cast<char>(std::toupper(static_cast<unsigned char>(command->summary[0])))
                  << command->summary.substr(1) << ".\n";
        if (!command->details.empty()) std::cout << command->details << '\n';
        if (command->needsSignIn)
            std::cout << "Signs in first: --identity NAME, the password from standard input (or --password-fd N).\n";
        if (!command->options.empty()) {
            std::cout << "\nCommand options:\n";
            PrintOptions(command->options);
        }
        std::cout << "\nOptions:\n";
        PrintOptions(kGlobalOptions);
        return;
    }
    std::cout << "Usage: tarnwick-cli [OPTIONS] " << (group.empty() ? "COMMAND" : group + " COMMAND")
              << " [ARGUMENTS]\n\n"
                 "Manages Tarnwick's identities, accounts, friends list, blacklist and filters in its home folder.\n"
                 "Passwords are read from standard input or a file descriptor, never from the command line.\n\n"
                 "Commands:\n";
    for (const auto& c : commands) {
        if (!group.empty() && c.group != group) continue;
        std::string left = "  " + c.Name() + (c.arguments.empty() ? "" : " " + c.arguments);
        if (left.size() < 28) left.resize(28, ' ');
        else left += "  ";
        std::cout << left << c.summary << '\n';
    }
    std::cout << "\nOptions:\n";
    PrintOptions(kGlobalOptions);
    std::cout << "\n\"tarnwick-cli COMMAND --help\" tells more about a command.\n"
                 "Exit status: 0 done, 1 refused or failed, 2 wrong command line.\n";
}

const TOption* FindOption(const std::vector<TOption>& options, const std::string& name) {
    for (const auto& o : options)
        if (name == o.name) return &o;
    return nullptr;
}

// Splits the words after the command into options (global ones and those of
// the command) and arguments.
TParsed ParseWords(const std::vector<std::string>& words, const TCommand* command) {
    TParsed parsed;
    bool onlyArguments = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (onlyArguments || w.size() < 2 || w[0] != '-') {
            parsed.args.push_back(w);
            continue;
        }
        if (w == "--") {
            onlyArguments = true;
            continue;
        }
        if (w == "-h") {
            parsed.options["help"] = "";
            continue;
        }
        if (w.rfind("--", 0) != 0) throw TUsageError("unknown option '" + w + "'");
        std::string name = w.substr(2), value;
        const size_t eq = name.find('=');
        const bool hasValue = eq != std::string::npos;
        if (hasValue) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const TOption* option = FindOption(kGlobalOptions, name);
        if (!option && command) option = FindOption(command->options, name);
        if (!option) throw TUsageError("unknown option '--" + name + "'");
        if (option->value && !hasValue) {
            if (i + 1 == words.size()) throw TUsageError("option '--" + name + "' needs a value");
            value = words[++i];
        } else if (!option->value && hasValue) {
            throw TUsageError("option '--" + name + "' takes no value");
        }
        if (parsed.options.count(name)) throw TUsageError("option '--" + name + "' is given twice");
        parsed.options[name] = value;
    }
    return parsed;
}

// The positions of the command's two words: the first words that are neither
// options nor the values of global options.
std::vector<size_t> CommandWordPositions(const std::vector<std::string>& words) {
    std::vector<size_t> positions;
    for (size_t i = 0; i < words.size() && positions.size() < 2; ++i) {
        const std::string& w = words[i];
        if (w == "--") break;
        if (w.size() > 1 && w[0] == '-') {
            const TOption* o = w.rfind("--", 0) == 0 && w.find('=') == std::string::npos
                                   ? FindOption(kGlobalOptions, w.substr(2))
                                   : nullptr;
            if (o && o->value) ++i;
            continue;
        }
        positions.push_back(i);
    }
    return positions;
}

}  // namespace

int RunCli(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    const std::vector<TCommand> commands = Commands();
    std::string where;
    try {
        const std::vector<size_t> positions = CommandWordPositions(words);
        std::vector<std::string> rest;
        for (size_t i = 0; i < words.size(); ++i)
            if (std::find(positions.begin(), positions.end(), i) == positions.end()) rest.push_back(words[i]);

        const TCommand* command = nullptr;
        if (!positions.empty()) {
            const std::string group = words[positions[0]];
            bool groupKnown = false;
            for (const auto& c : commands) {
                if (c.group != group) continue;
                groupKnown = true;
                if (c.verb.empty()) command = &c;
                else if (positions.size() > 1 && c.verb == words[positions[1]]) command = &c;
            }
            // A one-word command: the second word is an argument again.
            if (command && command->verb.empty() && positions.size() > 1) {
                rest.clear();
                for (size_t i = 0; i < words.size(); ++i)
                    if (i != positions[0]) rest.push_back(words[i]);
            }
            if (!groupKnown) throw TUsageError("unknown command '" + group + "' (see tarnwick-cli --help)");
            if (!command) {
                const TParsed options = ParseWords(rest, nullptr);
                if (options.Has("help")) {
                    PrintHelp(commands, group, nullptr);
                    return kExitOk;
                }
                if (positions.size() < 2)
                    throw TUsageError(group + ": a command is missing (see tarnwick-cli " + group + " --help)");
                throw TUsageError(group + ": unknown command '" + words[positions[1]] + "' (see tarnwick-cli " +
                                  group + " --help)");
            }
            where = command->Name() + ": ";
        }
        TParsed parsed = ParseWords(rest, command);
        if (!command) {
            PrintHelp(commands, "", nullptr);
            if (parsed.Has("help")) return kExitOk;
            throw TUsageError("a command is missing");
        }
        if (parsed.Has("help")) {
            PrintHelp(commands, "", command);
            return kExitOk;
        }
        if (parsed.args.size() < command->minArgs)
            throw TUsageError((command->arguments.empty() ? std::string("an argument") : command->arguments) +
                              " is missing");
        if (parsed.args.size() > command->maxArgs)
            throw TUsageError("unexpected argument '" + parsed.args[command->maxArgs] + "'");
        parsed.options["#group"] = command->group;

        if (parsed.Has("home")) {
            if (parsed.Get("home").empty()) throw TUsageError("--home: the folder is empty");
            setenv("TARNWICK_HOME", parsed.Get("home").c_str(), 1);
        }
        if (!EnterHomeFolder()) throw TFailure("cannot use the home folder " + HomeFolder());
        TContext context(parsed.Has("yes"));
        if (command->needsSignIn) context.SignIn(parsed);
        return command->run(context, parsed);
    } catch (const TUsageError& e) {
        CliError(where + e.what());
        return kExitUsage;
    } catch (const TFailure& e) {
        if (*e.what()) CliError(where + e.what());
        return kExitFailed;
    } catch (const std::exception& e) {
        CliError(where + e.what());
        return kExitFailed;
    }
}
