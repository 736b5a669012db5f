#include "complaints/ComplaintForm.h"

#include "base/Tr.h"
#include "base/UserInterface.h"
#include "platform/Locale.h"
#include "mail/SmtpClient.h"
#include "parsing/TextOps.h"


namespace {

void ShowSmtpSendError() {
    UserInterface().MessageBox(Tr("twkComplaint.SMTPSendError", "SMTP send error"), Tr("twkComplaint.Error", "Error"),
                               TMsgIcon::Error, mbOK);
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
    smtp.Host = TrimText(account.smtpHost);
    smtp.Port = std::to_string(account.smtpPort);
    if (WarnIfMailClientRunning) WarnIfMailClientRunning();
    if (!smtp.Login()) {
        ShowSmtpSendError();
        return false;
    }
    smtp.MailFrom("MAILER-DAEMON@" + account.host, 0);
    smtp.RcptTo(senderAddress.empty() ? AddressOf(fromValue) : senderAddress);
    const bool sent = smtp.SendData(BuildErrorMessage(
        Templates.error, {account.host, fromValue, dateText, account.login + "@" + account.host, MessageText}));
    smtp.Logout();
    return sent;
}

std::string MessageDateText(TDateTime value) { return UserDateTimeText(value); }
