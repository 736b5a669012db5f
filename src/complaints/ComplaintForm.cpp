#include "complaints/ComplaintForm.h"

#include "base/Tr.h"
#include "base/UserInterface.h"
#include "platform/Locale.h"
#include "mail/SmtpClient.h"
#include "mail/TlsAccount.h"
#include "parsing/TextOps.h"


namespace {

// why: the server's refusal or the security problem, when there is one to tell.
void ShowSmtpSendError(const std::string& why = {}) {
    UserInterface().MessageBox(Tr("twkComplaint.SMTPSendError", "SMTP send error") + (why.empty() ? "" : "\n" + why),
                               Tr("twkComplaint.Error", "Error"), TMsgIcon::Error, mbOK);
}

}  // namespace

bool TComplaintForm::SendErrorMessage(const TAccountValues& account, const std::string& fromValue,
                                      const std::string& dateText, const std::string& senderAddress) {
    if (TrimText(account.smtpHost).empty()) {
        UserInterface().MessageBox(
            Tr("SMTP_Error", "Because of SMTP Server absent (Settings->Accounts) this function is not available"),
            "Error", TMsgIcon::Error, mbOK);
        return false;
    }
    TSmtpClient smtp;
    SetUpSmtpClient(smtp, account);
    if (WarnIfMailClientRunning) WarnIfMailClientRunning();
    if (!smtp.Login()) {
        ShowSmtpSendError(smtp.LoginProblem);
        return false;
    }
    smtp.MailFrom("MAILER-DAEMON@" + account.host, 0);
    smtp.RcptTo(senderAddress.empty() ? AddressOf(fromValue) : senderAddress);
    const bool sent = smtp.SendData(BuildErrorMessage(
        Templates.error, {account.host, fromValue, dateText, account.login + "@" + account.host, MessageText}));
    const std::string refusal = sent ? std::string() : smtp.ResultString;
    smtp.Logout();
    // A server that wants a sign-in the account cannot give refuses here: the
    // user must hear it, not find the message missing.
    if (!sent) ShowSmtpSendError(refusal);
    return sent;
}

std::string MessageDateText(TDateTime value) { return UserDateTimeText(value); }
