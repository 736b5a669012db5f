#pragma once

#include "base/AccountValues.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TPop3Client;
class TTable;

// One line of the batch window's task list.
struct TBatchTask {
    enum class TState { None, Running, Done, Error };
    std::string caption;
    TState state = TState::None;
    std::vector<std::string> statuses;  // newest first
};

// Error messages to the senders of the ticked InBox rows, account by account:
// phase 1 downloads every ticked message into its row, phase 2 sends one
// error message per row through the account's SMTP server. The window
// ("Send error messages") shows Tasks, the progress and the two buttons, and
// forwards "Abort"; OnChange asks it to show them again.
class TBatchErrorMessages {
public:
    using TAccountLookup = std::function<std::optional<TAccountValues>(std::int64_t id)>;
    TBatchErrorMessages(TTable& inBox, std::vector<std::string> errorTemplate, TAccountLookup accountOf);
    ~TBatchErrorMessages();
    TBatchErrorMessages(const TBatchErrorMessages&) = delete;
    TBatchErrorMessages& operator=(const TBatchErrorMessages&) = delete;

    std::vector<TBatchTask> Tasks;
    int Progress = 0;
    int ProgressMaximum = 0;
    bool AbortEnabled = true;
    bool CloseEnabled = false;
    std::function<void()> OnChange;
    int SmtpTimeout = 10000;

    // The task list: four tasks per account met, in the order of the
    // InBox's "idaccount" index.
    void Show();
    // Both phases, once; later calls do nothing.
    void Run();
    // Both phases stop at their next row.
    void Abort() { aborted_ = true; }
    bool Aborted() const { return aborted_; }

private:
    struct TAccountEntry {
        std::size_t firstTask = 0;
        std::optional<TAccountValues> values;
    };
    // The place of a task among the four of its account.
    enum TTaskOffset { kConnectMailbox = 0, kRetrieve = 1, kConnectSmtp = 2, kSend = 3 };
    // A signed-in session for the account's values, or none.
    template <typename TSession>
    using TOpener = std::function<std::unique_ptr<TSession>(const TAccountValues&)>;
    template <typename TSession>
    void EachTickedRow(TTaskOffset connectTask, const TOpener<TSession>& open,
                       const std::function<void(TSession&, const TAccountEntry&)>& work,
                       const std::function<void()>& skip = {});
    void RunDownloads();
    void RunSending();
    bool Download(TPop3Client& mailbox, const TAccountEntry& account);
    void SendOne(class TSmtpClient& smtp, const TAccountEntry& account);
    void SetState(std::size_t task, TBatchTask::TState state);
    void StepProgress();
    void Ended();
    void Changed();

    TTable& inBox_;
    std::vector<std::string> errorTemplate_;
    TAccountLookup accountOf_;
    std::map<std::int64_t, TAccountEntry> accounts_;
    bool aborted_ = false;
    bool ran_ = false;
};
