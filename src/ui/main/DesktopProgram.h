#pragma once

#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLockFile;
class TAddressDM;
class TAntiSpamWindow;
class TBoxFrame;
class TComplaintForm;
class TComplaintWindow;
class TDM;
class TFilterDM;
class TFilterFrame;
class TSenderListFrame;
class TMailCommands;
class TPasswordDlg;
class TSettingsForm;
class TQtAddressBookWindows;
class TQtApplicationComponent;
class TQtTimer;
class TQtUserInterface;
class TRetrievalStatusForm;
class TSplashScreen;
class TUserInterfaceScope;
class TConnections;

// The desktop program from start to end, in the order the program has always
// started: splash, windows and modules, sign-in, main window; at the end every
// unsaved change is written. Tests run it in-process on a home of their own.
class TDesktopProgram {
public:
    TDesktopProgram();
    ~TDesktopProgram();
    TDesktopProgram(const TDesktopProgram&) = delete;
    TDesktopProgram& operator=(const TDesktopProgram&) = delete;

    // How long the splash stays before the rest is made (1000 ms in the program).
    int SplashMilliseconds = 1000;
    // Called once the splash screen is shown (a test looks at it).
    std::function<void(TSplashScreen&)> OnSplash;

    enum class TStart { SignedIn, NotSignedIn, AlreadyRunning, HomeInUse };
    // Everything up to the shown main window; the main window is shown only
    // when an identity was signed in.
    TStart Start();
    // Writes what is unsaved, telling the user about what could not be written.
    // True when everything was written.
    bool Finish();

    TAntiSpamWindow* MainWindow() const { return main_.get(); }
    TRetrievalStatusForm* StatusForm() const { return status_.get(); }
    TDM* DataModule() const { return dm_.get(); }
    TFilterDM* Filters() const { return filters_.get(); }
    TAddressDM* AddressBook() const { return addressBook_.get(); }
    TQtUserInterface& QtInterface() { return *ui_; }
    TMailCommands* MailCommands() const { return commands_.get(); }
    TBoxFrame* InBoxFrame() const { return inBox_; }
    TBoxFrame* DelBoxFrame() const { return delBox_; }
    TSettingsForm* SettingsForm() const { return settings_.get(); }
    TFilterFrame* FilterFrame() const { return filterFrame_; }
    TSenderListFrame* FriendsFrame() const { return friendsFrame_; }
    TSenderListFrame* BlackListFrame() const { return blackListFrame_; }
    TComplaintForm* Complaint() const { return complaint_.get(); }
    TComplaintWindow* ComplaintWindow() const { return complaintWindow_.get(); }

private:
    bool ClaimHomeFolder();
    void ShowSplash();
    void CreateModulesAndWindows();
    void WireUserInterface();

    std::unique_ptr<TQtApplicationComponent> application_;
    std::unique_ptr<TQtUserInterface> ui_;
    std::unique_ptr<TUserInterfaceScope> scope_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
    std::unique_ptr<TSplashScreen> splash_;
    std::unique_ptr<TAntiSpamWindow> main_;
    std::unique_ptr<TDM> dm_;
    std::unique_ptr<TFilterDM> filters_;
    std::unique_ptr<TComplaintForm> complaint_;
    std::unique_ptr<TMailCommands> commands_;
    TBoxFrame* inBox_ = nullptr;   // owned by the main window's work area
    TBoxFrame* delBox_ = nullptr;
    TFilterFrame* filterFrame_ = nullptr;
    TSenderListFrame* friendsFrame_ = nullptr;
    TSenderListFrame* blackListFrame_ = nullptr;
    std::unique_ptr<TPasswordDlg> passwordDialog_;
    std::unique_ptr<TSettingsForm> settings_;
    std::unique_ptr<TRetrievalStatusForm> status_;
    std::unique_ptr<TComplaintWindow> complaintWindow_;
    std::unique_ptr<TQtAddressBookWindows> addressWindows_;
    std::unique_ptr<TAddressDM> addressBook_;
    std::unique_ptr<TQtTimer> timer_;
    std::unique_ptr<TConnections> connections_;
    bool finished_ = false;
};

// The name of the local socket by which a second start finds the first one.
QString InstanceServerName(const QString& homeFolder);
