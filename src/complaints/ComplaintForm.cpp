#include "complaints/ComplaintForm.h"

#include "core/Tr.h"
#include "core/UserInterface.h"
#include "mail/SmtpClient.h"
#include "parsing/TextOps.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <locale.h>
#include <mutex>

namespace {

void ShowSmtpSendError() {
    UserInterface().MessageBox(Tr("twkComplaint.SMTPSendError", "SMTP send error"), Tr("twkComplaint.Error", "Error"),
                               TMsgIcon::Error, mbOK);
}

// No language chosen for dates: the C library's own format would be ambiguous.
bool UserTimeLocaleIsPlain() {
    const char* name = nullptr;
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value) {
            name = value;
            break;
        }
    }
    return !name || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
}

}  // namespace

bool TComplaintForm::SendErrorMessage(const TAccountValues& account, const std::string& fromValue,
                                      const std::string& dateText) {
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
    smtp.RcptTo(AddressOf(fromValue));
    const bool sent = smtp.SendData(BuildErrorMessage(
        Templates.error, {account.host, fromValue, dateText, account.login + "@" + account.host, MessageText}));
    smtp.Logout();
    return sent;
}

std::string MessageDateText(TDateTime value) {
    const TDateTimeParts p = DecodeDateTime(value);
    std::tm tm{};
    tm.tm_year = p.year - 1900;
    tm.tm_mon = p.month - 1;
    tm.tm_mday = p.day;
    tm.tm_hour = p.hour;
    tm.tm_min = p.minute;
    tm.tm_sec = p.second;
    const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
    // Opening a locale reads its files, and a listing dates thousands of rows:
    // it is opened again only when the environment names another one.
    struct TOpenedLocale {
        bool opened = false;
        std::string name;
        locale_t locale = nullptr;
        ~TOpenedLocale() {
            if (locale) freelocale(locale);
        }
    };
    static TOpenedLocale user;
    static std::mutex guard;
    const std::lock_guard<std::mutex> lock(guard);
    const bool plain = UserTimeLocaleIsPlain();
    if (!plain) {
        std::string name;  // what newlocale reads for LC_TIME
        for (const char* var : {"LC_ALL", "LC_TIME", "LANG"})
            if (const char* set = std::getenv(var); set && *set) {
                name = set;
                break;
            }
        if (!user.opened || user.name != name) {
            if (user.locale) freelocale(user.locale);
            user.locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
            user.name = name;
            user.opened = true;
        }
    }
    char text[128] = {};
    if (plain || !user.locale)
        std::strftime(text, sizeof text, midnight ? "%Y-%m-%d" : "%Y-%m-%d %H:%M:%S", &tm);
    else
        strftime_l(text, sizeof text, midnight ? "%x" : "%x %X", &tm, user.locale);
    return text;
}
