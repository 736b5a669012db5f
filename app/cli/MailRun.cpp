#include "MailRun.h"

#include "complaints/ComplaintForm.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "filtering/dmfilters.h"
#include "platform/CodePage.h"

#include <iostream>
#include <set>
#include <utility>

namespace {

// Terminals speak UTF-8; the tables keep the program's code page.
std::string Out(const std::string& text) { return CodePageToUtf8(text); }

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

void PrintBox(TDM& dm, TFilterDM& filters, TTable& box, const char* title, bool delBox) {
    std::cout << title << " (" << box.RecordCount() << ")\n";
    for (box.First(); !box.Eof(); box.Next()) {
        std::cout << "  " << AccountName(dm, box.AsInteger("idaccount")) << '\t' << Out(box.AsString("from")) << '\t'
                  << Out(box.AsString("subject")) << '\t' << box.AsInteger("size") << '\t'
                  << (box.IsNull("date") ? "" : MessageDateText(box.AsDateTime("date")));
        if (delBox)
            std::cout << '\t' << ActionName(filters, box.AsInteger("idaction")) << '\t' << Out(box.AsString("Prichina"));
        std::cout << '\n';
    }
}

void PrintLog(const TDM& dm) {
    for (const auto& line : dm.StatusLog.Lines())
        std::cout << "  " << Out(line.Text) << (line.Status.empty() ? "" : "  [" + Out(line.StatusText()) + "]") << '\n';
}

// Everything the two commands share: the filter module, the complaint
// templates and the mail commands on the signed-in module.
struct TMailRun {
    TFilterDM filters;
    TComplaintForm complaint;
    TMailCommands commands;
    explicit TMailRun(TDM& dm) : commands(dm, complaint, &filters) { complaint.LoadTemplates(); }
};

bool Scan(TDM& dm, TMailRun& run, bool verbose) {
    dm.StatusLog.Clear();
    if (!dm.Actions["ReceiveIdentityMail"].Execute() || dm.StatusLog.Count() == 0) {
        std::cerr << "tarnwick-cli: Receive Mail did not run\n";
        return false;
    }
    PrintBox(dm, run.filters, dm.cdsInBox, "InBox", false);
    PrintBox(dm, run.filters, dm.cdsDelBox, "DelBox", true);
    if (verbose) {
        std::cout << "Log\n";
        PrintLog(dm);
    }
    return true;
}

const char* WhatHappens(std::int64_t action, bool done) {
    if (action == 3) return done ? "bounced and deleted" : "would bounce and delete";
    if (action == 4) return done ? "header forwarded, deleted" : "would forward the header and delete";
    return done ? "deleted" : "would delete";
}

}  // namespace

int RunCheck(TDM& dm, bool verbose) {
    TMailRun run(dm);
    return Scan(dm, run, verbose) ? 0 : 1;
}

int RunProcess(TDM& dm, bool verbose, bool dryRun) {
    TMailRun run(dm);
    if (!Scan(dm, run, verbose)) return 1;
    const auto plan = run.commands.PlanProcessMail();
    if (!dryRun && !plan.empty()) {
        if (!dm.Actions["ProcessMail"].Execute()) {
            std::cerr << "tarnwick-cli: Process Mail did not run\n";
            return 1;
        }
    }
    std::set<std::pair<std::int64_t, std::int64_t>> kept;
    if (!dryRun)
        for (dm.cdsDelBox.First(); !dm.cdsDelBox.Eof(); dm.cdsDelBox.Next())
            kept.emplace(dm.cdsDelBox.AsInteger("idaccount"), dm.cdsDelBox.AsInteger("messagenum"));
    std::cout << (dryRun ? "Process Mail (dry run: nothing changed on any server)\n" : "Process Mail\n");
    for (const auto& row : plan) {
        const bool stays = kept.count({row.idaccount, row.messagenum}) != 0;
        std::cout << "  " << (row.account.empty() ? "?" : Out(row.account)) << '\t' << '#' << row.messagenum << '\t'
                  << Out(row.from) << '\t' << Out(row.subject) << '\t'
                  << (dryRun ? WhatHappens(row.idaction, false) : stays ? "kept (see the log)" : WhatHappens(row.idaction, true))
                  << '\n';
    }
    if (verbose && !dryRun) {
        std::cout << "Log\n";
        PrintLog(dm);
    }
    if (!kept.empty()) {
        std::cerr << "tarnwick-cli: " << kept.size() << " message(s) were not deleted; run with --verbose for the log\n";
        return 1;
    }
    return 0;
}
