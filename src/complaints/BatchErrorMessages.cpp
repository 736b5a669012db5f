#include "complaints/BatchErrorMessages.h"

#include "base/Tr.h"
#include "base/UserInterface.h"
#include "complaints/ComplaintForm.h"
#include "complaints/ComplaintTemplates.h"
#include "data/TTable.h"
#include "mail/Mailbox.h"
#include "mail/SmtpClient.h"
#include "mail/TlsAccount.h"
#include "parsing/TextOps.h"

namespace {

// The InBox changes without a notification per row; the index stays after the run.
class TQuietInBox {
public:
    explicit TQuietInBox(TTable& box) : box_(box) {
        box_.DisableControls();
        box_.SetIndexName("idaccount");
        box_.First();
    }
    ~TQuietInBox() { box_.EnableControls(); }
    TQuietInBox(const TQuietInBox&) = delete;
    TQuietInBox& operator=(const TQuietInBox&) = delete;

private:
    TTable& box_;
};

// The recipient of a row: the undecoded sender address where the scan kept it.
std::string RowRecipient(const TTable& box) {
    const std::string kept = box.FieldIndex("fromaddress") >= 0 ? box.AsString("fromaddress") : std::string();
    return kept.empty() ? AddressOf(box.AsString("from")) : kept;
}

std::string RowDateText(const TTable& box) { return box.IsNull("date") ? std::string() : MessageDateText(box.AsDateTime("date")); }

}  // namespace

TBatchErrorMessages::TBatchErrorMessages(TTable& inBox, std::vector<std::string> errorTemplate, TAccountLookup accountOf)
    : inBox_(inBox), errorTemplate_(std::move(errorTemplate)), accountOf_(std::move(accountOf)) {}

TBatchErrorMessages::~TBatchErrorMessages() = default;

void TBatchErrorMessages::Changed() {
    if (OnChange) OnChange();
}

void TBatchErrorMessages::Show() {
    Tasks.clear();
    accounts_.clear();
    int selected = 0;
    {
        const TQuietInBox quiet(inBox_);
        for (; !inBox_.Eof(); inBox_.Next()) {
            if (!inBox_.AsBoolean("Selected")) continue;
            ++selected;
            const std::int64_t id = inBox_.AsInteger("idaccount");
            if (accounts_.count(id)) continue;
            TAccountEntry entry{Tasks.size(), accountOf_ ? accountOf_(id) : std::nullopt};
            // A row whose account is gone is named by the account's number.
            const std::string missing = "#" + std::to_string(id);
            const std::string host = entry.values ? entry.values->host : missing;
            const std::string smtpHost = entry.values ? entry.values->smtpHost : missing;
            const std::string proto = entry.values ? entry.values->proto : std::string("POP3");
            const auto add = [this](const std::string& caption) { Tasks.push_back({caption, TBatchTask::TState::None, {}}); };
            add(ReplaceAllNoCase(Tr("StatusErrorMessageSend.Messages.Connect2Pop3", "Connect to <Proto> server"),
                                 "<Proto>", proto) + "  " + host);
            add(Tr("StatusErrorMessageSend.Messages.RetrieveHeaders", "Retrive headers from") + "  " + host);
            add(Tr("StatusErrorMessageSend.Messages.Connect2SMTP", "Connecting to SMTP") + "  " + smtpHost);
            add(Tr("StatusErrorMessageSend.Messages.SendError", "Send error messages to") + "  " + smtpHost);
            accounts_.emplace(id, std::move(entry));
        }
    }
    Progress = 0;
    ProgressMaximum = 2 * selected;
    Changed();
}

void TBatchErrorMessages::SetState(std::size_t task, TBatchTask::TState state) {
    if (task >= Tasks.size()) return;
    Tasks[task].state = state;
    const std::string status = state == TBatchTask::TState::Running ? Tr("StatusErrorMessageSend.Messages.Run", "Run")
                               : state == TBatchTask::TState::Done  ? Tr("StatusErrorMessageSend.Messages.Done", "Done")
                                                                    : Tr("StatusErrorMessageSend.Messages.Error", "Error");
    Tasks[task].statuses.insert(Tasks[task].statuses.begin(), status);
    Changed();
    UserInterface().ProcessMessages();
}

void TBatchErrorMessages::StepProgress() {
    ++Progress;
    Changed();
}

void TBatchErrorMessages::Run() {
    if (ran_) return;
    ran_ = true;
    RunDownloads();
    RunSending();
    Ended();
}

void TBatchErrorMessages::Ended() {
    AbortEnabled = false;
    CloseEnabled = true;
    Changed();
}

// One session per account over its ticked rows, in account order. The
// account's connect task tells how opening went; a row whose account is gone
// or could not be opened is skipped, and a session that cannot be opened ends
// the walk (the rest would most likely fail alike).
template <typename TSession>
void TBatchErrorMessages::EachTickedRow(TTaskOffset connectTask, const TOpener<TSession>& open,
                                        const std::function<void(TSession&, const TAccountEntry&)>& work,
                                        const std::function<void()>& skip) {
    const TQuietInBox quiet(inBox_);
    std::unique_ptr<TSession> session;
    std::int64_t current = 0;
    for (; !inBox_.Eof(); inBox_.Next()) {
        if (aborted_) break;
        if (!inBox_.AsBoolean("Selected")) continue;
        const std::int64_t id = inBox_.AsInteger("idaccount");
        const auto found = accounts_.find(id);
        if (found == accounts_.end()) continue;  // ticked after the list was made
        const TAccountEntry& account = found->second;
        if (id != current) {
            current = id;
            if (session) session->Logout();
            session.reset();
            const std::size_t task = account.firstTask + connectTask;
            SetState(task, TBatchTask::TState::Running);
            // Never another account's server for a row whose account is gone.
            if (account.values) session = open(*account.values);
            SetState(task, session ? TBatchTask::TState::Done : TBatchTask::TState::Error);
            if (account.values && !session) break;
        }
        if (session)
            work(*session, account);
        else if (skip)
            skip();
    }
    if (session) session->Logout();
}

void TBatchErrorMessages::RunDownloads() {
    const TOpener<TPop3Client> open = [](const TAccountValues& values) {
        std::unique_ptr<TPop3Client> mailbox = CreateAccountMailbox(values);
        return mailbox->Login() ? std::move(mailbox) : nullptr;
    };
    EachTickedRow<TPop3Client>(kConnectMailbox, open,
                               [this](TPop3Client& mailbox, const TAccountEntry& account) { Download(mailbox, account); });
}

bool TBatchErrorMessages::Download(TPop3Client& mailbox, const TAccountEntry& account) {
    const std::size_t task = account.firstTask + kRetrieve;
    SetState(task, TBatchTask::TState::Running);
    if (!mailbox.Retr(static_cast<int>(inBox_.AsInteger("messagenum")))) {
        SetState(task, TBatchTask::TState::Error);
        return false;
    }
    SetState(task, TBatchTask::TState::Done);
    std::string text;
    for (std::size_t i = 0; i < mailbox.FullResult.size(); ++i) text += (i ? "\r\n" : "") + mailbox.FullResult[i];
    inBox_.Edit();
    inBox_.SetValue("header", text);
    inBox_.Post();
    StepProgress();
    return true;
}

void TBatchErrorMessages::RunSending() {
    const TOpener<TSmtpClient> open = [this](const TAccountValues& values) {
        auto smtp = std::make_unique<TSmtpClient>();
        SetUpSmtpClient(*smtp, values);
        smtp->Timeout = SmtpTimeout;
        return smtp->Login() ? std::move(smtp) : nullptr;
    };
    // A row that gets no error message still counts towards the progress.
    EachTickedRow<TSmtpClient>(
        kConnectSmtp, open, [this](TSmtpClient& smtp, const TAccountEntry& account) { SendOne(smtp, account); },
        [this] { StepProgress(); });
}

void TBatchErrorMessages::SendOne(TSmtpClient& smtp, const TAccountEntry& account) {
    const std::size_t task = account.firstTask + kSend;
    SetState(task, TBatchTask::TState::Running);
    const TAccountValues& values = *account.values;
    const std::string recipient = RowRecipient(inBox_);
    smtp.MailFrom("MAILER-DAEMON@" + values.host, 0);
    smtp.RcptTo(recipient);
    const bool sent = smtp.SendData(BuildErrorMessage(
        errorTemplate_, {values.host, recipient, RowDateText(inBox_), values.email, inBox_.AsString("header")}));
    SetState(task, sent ? TBatchTask::TState::Done : TBatchTask::TState::Error);
    StepProgress();
}
