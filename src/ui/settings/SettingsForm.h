#pragma once

#include "core/SettingsRules.h"
#include "ui/qt/QtComponents.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class TBoundLineEdit;
class TDM;
class TTranslator;

// "Settings": identities, the signed-in identity's accounts, and the Misc
// page (mail client, language, the automatic check). The rules are
// TSettingsRules'; this window shows them and forwards what the user does.
class TSettingsForm : public QDialog {
public:
    // The language list re-translates through the main window's translator.
    TSettingsForm(TDM& dm, TTranslator& mainTranslator, QWidget* parent = nullptr);
    ~TSettingsForm() override;

    // The widgets of one protocol tab (AOL has no incoming server, port or security).
    struct TProtocolPage {
        QWidget* page = nullptr;
        TBoundLineEdit* host = nullptr;
        TBoundLineEdit* port = nullptr;
        TBoundLineEdit* login = nullptr;
        QLineEdit* password = nullptr;
        TBoundLineEdit* email = nullptr;
        TBoundLineEdit* smtpHost = nullptr;
        TBoundLineEdit* smtpPort = nullptr;
        QComboBox* security = nullptr;
        QComboBox* smtpSecurity = nullptr;
    };

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildIdentitiesPage();
    QWidget* BuildAccountsPage();
    QWidget* BuildMiscPage();
    TProtocolPage BuildProtocolPage(int tab);
    QPushButton* ActionButton(const char* action, QWidget* parent);
    QPushButton* CloseButton(const char* name, QWidget* parent);

    void ProtocolTabClicked(int tab);
    void ShowAccountTab(bool applyToAccount);
    void AccountsChanged();
    void ResetPasswordBoxes();
    void ShowSecurity();
    void FillMailClients();
    void FillLanguages();
    void ShowIdentityOptions();
    void Retranslate();

    TQtFormComponent component_;
    TDM& dm_;
    TTranslator& mainTranslator_;
    TSettingsRules rules_;
    QTabWidget* pages_ = nullptr;
    QTableView* identities_ = nullptr;
    QTableView* accounts_ = nullptr;
    QTabWidget* protocols_ = nullptr;
    std::array<TProtocolPage, 3> protocolPages_{};
    int shownTab_ = 0;
    bool syncingTab_ = false;
    QComboBox* mailClients_ = nullptr;
    QCheckBox* startMailClient_ = nullptr;
    QComboBox* languages_ = nullptr;
    QCheckBox* timerEnabled_ = nullptr;
    QSpinBox* hours_ = nullptr;
    QSpinBox* minutes_ = nullptr;
    int accountsSubscription_ = 0;
    int identitiesSubscription_ = 0;
    TLanguageSubscription language_;
};
