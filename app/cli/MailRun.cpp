#include "MailRun.h"

#include "TerminalText.h"
#include "complaints/ComplaintForm.h"
#include "core/BoxColumns.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "filtering/dmfilters.h"
#include "platform/Locale.h"

#include <algorithm>
#include <functional>
#include <iostream>
#include <map>
#include <utility>
#include <vector>

namespace {

using TProblem = TMailCommands::TAccountProblem;
using TOutcome = TMailCommands::TRowOutcome;

// Terminals speak UTF-8; the tables keep the program's code page. Whatever a
// server or a table holds is printed without its control characters.
std::string Out(std::string_view text) {
    std::string out;
    AppendCodePageTerminalText(out, text);
    return out;
}

std::string_view TextOf(const TValue& value) {
    const std::string* text = std::get_if<std::string>(&value);
    return text ? std::string_view(*text) : std::string_view();
}

std::string AccountName(TDM& dm, std::int64_t id) {
    const TValue name = dm.cdsAccounts.Lookup("id", id, "description");
    return IsNull(name) ? "?" : Out(std::get<std::string>(name));
}

std::string ActionName(TFilterDM& filters, std::int64_t id) {
    if (id == -1) return "lists";
    if (id == 0) return "moved";
    const TValue name = filters.cdsAction.Lookup("id", id, "Name");
    return IsNull(name) ? std::to_string(id) : Out(std::get<std::string>(name));
}

std::int64_t IntegerOf(const TValue& value) {
    const std::int64_t* number = std::get_if<std::int64_t>(&value);
    return number ? *number : 0;
}

// Names of the few accounts or actions that thousands of rows name.
class TNames {
public:
    explicit TNames(std::function<std::string(std::int64_t)> name) : name_(std::move(name)) {}
    const std::string& Of(std::int64_t id) {
        auto found = names_.find(id);
        if (found == names_.end()) found = names_.emplace(id, name_(id)).first;
        return found->second;
    }

private:
    std::function<std::string(std::int64_t)> name_;
    std::map<std::int64_t, std::string> names_;
};

void PrintBox(TDM& dm, TFilterDM& filters, TTable& box, const char* title, bool delBox) {
    std::cout << title << " (" << box.RecordCount() << ")\n";
    const TBoxColumns columns(box);
    TNames accounts([&dm](std::int64_t id) { return AccountName(dm, id); });
    TNames actions([&filters](std::int64_t id) { return ActionName(filters, id); });
    const TUserDateTimes dates;
    // Rows are put together in one text and written in large pieces: a box may list thousands.
    std::string text;
    for (box.First(); !box.Eof(); box.Next()) {
        ((text += "  ") += accounts.Of(IntegerOf(box.Value(columns.idaccount)))) += '\t';
        AppendCodePageTerminalText(text, TextOf(box.Value(columns.from)));
        text += '\t';
        AppendCodePageTerminalText(text, TextOf(box.Value(columns.subject)));
        text += '\t';
        (text += std::to_string(IntegerOf(box.Value(columns.size)))) += '\t';
        if (const double* date = std::get_if<double>(&box.Value(columns.date))) text += dates.Text(*date);
        if (delBox) {
            ((text += '\t') += actions.Of(IntegerOf(box.Value(columns.idaction)))) += '\t';
            AppendCodePageTerminalText(text, TextOf(box.Value(columns.reason)));
        }
        text += '\n';
        if (text.size() >= 64 * 1024) {
            std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
            text.clear();
        }
    }
    std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void PrintLog(const TDM& dm) {
    for (const auto& line : dm.StatusLog.Lines())
        std::cout << "  " << Out(line.Text) << (line.Status.empty() ? "" : "  [" + Out(line.StatusText()) + "]") << '\n';
}

// Every account that could not be scanned or processed, each once, in the
// order they went wrong.
class TProblemList {
public:
    void Add(const std::vector<TProblem>& problems) {
        for (const auto& problem : problems) {
            const bool known = std::any_of(problems_.begin(), problems_.end(), [&](const TProblem& p) {
                return p.idaccount == problem.idaccount && p.reason == problem.reason;
            });
            if (!known) problems_.push_back(problem);
        }
    }
    bool Empty() const { return problems_.empty(); }
    void Print() const {
        for (const auto& problem : problems_)
            std::cerr << "tarnwick-cli: account \"" << Out(problem.account) << "\": " << Out(problem.reason) << '\n';
    }

private:
    std::vector<TProblem> problems_;
};

// Everything the two commands share: the filter module, the complaint
// templates and the mail commands on the signed-in module.
struct TMailRun {
    TFilterDM filters;
    TComplaintForm complaint;
    TMailCommands commands;
    TProblemList problems;
    explicit TMailRun(TDM& dm) : commands(dm, complaint, &filters) { complaint.LoadTemplates(); }
};

bool Scan(TDM& dm, TMailRun& run, bool verbose) {
    dm.StatusLog.Clear();
    if (!dm.Actions["ReceiveIdentityMail"].Execute() || dm.StatusLog.Count() == 0) {
        std::cerr << "tarnwick-cli: Receive Mail did not run\n";
        return false;
    }
    run.problems.Add(run.commands.AccountProblems());
    PrintBox(dm, run.filters, dm.cdsInBox, "InBox", false);
    PrintBox(dm, run.filters, dm.cdsDelBox, "DelBox", true);
    if (verbose) {
        std::cout << "Log\n";
        PrintLog(dm);
    }
    return true;
}

const char* WhatWouldHappen(std::int64_t action) {
    if (action == 3) return "would bounce and delete";
    if (action == 4) return "would forward the header and delete";
    return "would delete";
}

// What Process Mail really did with one row: each step the row's action asks
// for, done or not, and why not.
std::string WhatHappened(const TOutcome& outcome) {
    std::string text;
    if (outcome.idaction == 4) text += outcome.forwarded ? "header forwarded, " : "header not forwarded, ";
    if (outcome.idaction == 3) text += outcome.bounced ? "bounced, " : "not bounced, ";
    text += outcome.deleted ? "deleted" : "kept";
    if (!outcome.note.empty()) text += " (" + Out(outcome.note) + ")";
    return text;
}

// The rows whose outcome fell short of the plan, counted by what was missed.
struct TShortfall {
    int kept = 0, notForwarded = 0, notBounced = 0;
    void Count(const TOutcome* outcome) {
        if (!outcome || !outcome->deleted) ++kept;
        if (outcome && outcome->idaction == 4 && !outcome->forwarded) ++notForwarded;
        if (outcome && outcome->idaction == 3 && !outcome->bounced) ++notBounced;
    }
    bool Any() const { return kept || notForwarded || notBounced; }
    void Print() const {
        if (notForwarded) std::cerr << "tarnwick-cli: " << notForwarded << " header(s) were not forwarded\n";
        if (notBounced) std::cerr << "tarnwick-cli: " << notBounced << " error message(s) were not sent\n";
        if (kept) std::cerr << "tarnwick-cli: " << kept << " message(s) were not deleted; run with --verbose for the log\n";
    }
};

void PrintPlannedRow(const TMailCommands::TPlannedRow& row, const std::string& what) {
    std::cout << "  " << (row.account.empty() ? "?" : Out(row.account)) << '\t' << '#' << row.messagenum << '\t'
              << Out(row.from) << '\t' << Out(row.subject) << '\t' << what << '\n';
}

int Finish(const TMailRun& run) {
    run.problems.Print();
    return run.problems.Empty() ? 0 : 1;
}

}  // namespace

int RunCheck(TDM& dm, bool verbose) {
    TMailRun run(dm);
    if (!Scan(dm, run, verbose)) return 1;
    return Finish(run);
}

int RunProcess(TDM& dm, bool verbose, bool dryRun) {
    TMailRun run(dm);
    if (!Scan(dm, run, verbose)) return 1;
    const auto plan = run.commands.PlanProcessMail();
    if (dryRun) {
        std::cout << "Process Mail (dry run: nothing changed on any server)\n";
        for (const auto& row : plan) PrintPlannedRow(row, WhatWouldHappen(row.idaction));
        return Finish(run);
    }
    if (!plan.empty() && !dm.Actions["ProcessMail"].Execute()) {
        std::cerr << "tarnwick-cli: Process Mail did not run\n";
        return 1;
    }
    run.problems.Add(run.commands.AccountProblems());
    std::map<std::pair<std::int64_t, std::int64_t>, const TOutcome*> outcomes;
    for (const auto& outcome : run.commands.ProcessOutcomes())
        outcomes[{outcome.idaccount, outcome.messagenum}] = &outcome;
    std::cout << "Process Mail\n";
    TShortfall shortfall;
    for (const auto& row : plan) {
        const auto found = outcomes.find({row.idaccount, row.messagenum});
        const TOutcome* outcome = found == outcomes.end() ? nullptr : found->second;
        PrintPlannedRow(row, outcome ? WhatHappened(*outcome) : "kept (not processed)");
        shortfall.Count(outcome);
    }
    if (verbose) {
        std::cout << "Log\n";
        PrintLog(dm);
    }
    const int status = Finish(run);
    shortfall.Print();
    return shortfall.Any() ? 1 : status;
}
