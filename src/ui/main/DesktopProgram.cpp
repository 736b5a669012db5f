#include "ui/main/DesktopProgram.h"

#include "addressbook/DMAddress.h"
#include "base/Tr.h"
#include "complaints/ComplaintForm.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "core/RunSummary.h"
#include "data/TTableError.h"
#include "filtering/dmfilters.h"
#include "integration/Connections.h"
#include "parsing/TextOps.h"
#include "platform/Home.h"
#include "ui/addressbook/QtAddressBookWindows.h"
#include "ui/boxes/BoxFrame.h"
#include "ui/complaints/ComplaintWindow.h"
#include "ui/filters/FilterFrame.h"
#include "ui/lists/SenderListFrame.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/RetrievalStatusForm.h"
#include "ui/main/SplashScreen.h"
#include "ui/qt/QtComponents.h"
#include "ui/qt/QtText.h"
#include "ui/qt/QtTimer.h"
#include "ui/qt/QtUserInterface.h"
#include "ui/settings/PasswordDlg.h"
#include "ui/settings/SettingsForm.h"
#include "base/TAction.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

QString InstanceServerName(const QString& homeFolder) {
    const QByteArray key = QDir(homeFolder).canonicalPath().toUtf8();
    return "tarnwick-" + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16));
}

TDesktopProgram::TDesktopProgram()
    : application_(std::make_unique<TQtApplicationComponent>()), ui_(std::make_unique<TQtUserInterface>()) {
    scope_ = std::make_unique<TUserInterfaceScope>(*ui_);
}

TDesktopProgram::~TDesktopProgram() {
    Finish();
    // Windows before the modules they show, the modules before the interface.
    addressBook_.reset();
    addressWindows_.reset();
    status_.reset();
    complaintWindow_.reset();
    settings_.reset();
    passwordDialog_.reset();
    main_.reset();
    splash_.reset();
    timer_.reset();
    commands_.reset();
    complaint_.reset();
    filters_.reset();
    dm_.reset();
    scope_.reset();
}

// Two programs writing the same table files would lose one's changes: a
// second start on the same home folder brings the first to the front instead.
bool TDesktopProgram::ClaimHomeFolder() {
    const QString home = QString::fromStdString(HomeFolder());
    lock_ = std::make_unique<QLockFile>(home + "/tarnwick.lock");
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(100)) {
        QLocalSocket other;
        other.connectToServer(InstanceServerName(home));
        if (other.waitForConnected(1000)) {
            other.write("raise\n");
            other.waitForBytesWritten(1000);
        } else {
            UserInterface().MessageBox(Tr("AlreadyRunning", "Tarnwick is already running on this home folder."),
                                       "Tarnwick", TMsgIcon::Information, mbOK);
        }
        return false;
    }
    server_ = std::make_unique<QLocalServer>();
    QLocalServer::removeServer(InstanceServerName(home));
    server_->listen(InstanceServerName(home));
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
        while (QLocalSocket* other = server_->nextPendingConnection()) {
            QObject::connect(other, &QLocalSocket::disconnected, other, &QObject::deleteLater);
            if (main_ && dm_ && !dm_->NotLoggedIn) main_->RestoreFromTray();
        }
    });
    return true;
}

void TDesktopProgram::ShowSplash() {
    splash_ = std::make_unique<TSplashScreen>(false);
    splash_->setCursor(Qt::WaitCursor);
    splash_->show();
    splash_->repaint();
    if (OnSplash) OnSplash(*splash_);
    QElapsedTimer shown;
    shown.start();
    while (shown.elapsed() < SplashMilliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName("Tarnwick");
}

void TDesktopProgram::CreateModulesAndWindows() {
    dm_ = std::make_unique<TDM>();
    filters_ = std::make_unique<TFilterDM>();
    main_ = std::make_unique<TAntiSpamWindow>(*dm_, *filters_);
    application_->InsertComponent(&dm_->Component);
    application_->InsertComponent(&filters_->Component());
    dm_->DataModuleCreate();
    complaint_ = std::make_unique<TComplaintForm>();
    complaint_->LoadTemplates();
    commands_ = std::make_unique<TMailCommands>(*dm_, *complaint_, filters_.get());
    main_->AttachCommands();
    inBox_ = new TBoxFrame(*dm_, TBoxView::TKind::InBox);
    delBox_ = new TBoxFrame(*dm_, TBoxView::TKind::DelBox);
    main_->SetView(0, inBox_);
    main_->SetView(1, delBox_);
    filterFrame_ = new TFilterFrame(*filters_);
    friendsFrame_ = new TSenderListFrame(*dm_, TSenderListFrame::TKind::Friends);
    blackListFrame_ = new TSenderListFrame(*dm_, TSenderListFrame::TKind::BlackList);
    main_->SetView(2, filterFrame_);
    main_->SetView(3, friendsFrame_);
    main_->SetView(4, blackListFrame_);
    passwordDialog_ = std::make_unique<TPasswordDlg>(main_.get());
    settings_ = std::make_unique<TSettingsForm>(*dm_, main_->Component().Translator(), main_.get());
    TSettingsForm* settings = settings_.get();
    dm_->Actions["CustomizeActionBars"].OnExecute = [settings](TAction&) { settings->exec(); };
    dm_->Actions["CustomizeActionBars"].Update();
    complaintWindow_ = std::make_unique<TComplaintWindow>(*complaint_, main_.get());
    inBox_->View().ErrorTemplate = [complaint = complaint_.get()] { return complaint->Templates.error; };
    status_ = std::make_unique<TRetrievalStatusForm>(dm_->StatusLog, main_.get());
    main_->SetStatusForm(status_.get());
    addressBook_ = std::make_unique<TAddressDM>();
    addressWindows_ = std::make_unique<TQtAddressBookWindows>();
    addressBook_->SetWindows(addressWindows_.get());
    application_->InsertComponent(&addressBook_->Component());
    // The user's own copy first, then the installed one, then the source tree's.
    main_->HelpFolders = {QString::fromStdString(HomeFolder())};
    if (const std::string exe = ExecutableFolder(); !exe.empty())
        main_->HelpFolders.push_back(QString::fromStdString(exe) + "/../share/doc/tarnwick");
#ifdef TARNWICK_SOURCE_HELP_DIR
    main_->HelpFolders.push_back(TARNWICK_SOURCE_HELP_DIR);
#endif
    timer_ = std::make_unique<TQtTimer>(dm_->Timer);
    connections_ = std::make_unique<TConnections>();
    connections_->StartUp();
    WireUserInterface();
    // Every window is made: one walk gives them all the current language.
    main_->Component().Loaded();
}

void TDesktopProgram::WireUserInterface() {
    TQtUserInterface& ui = *ui_;
    TAntiSpamWindow* main = main_.get();
    TRetrievalStatusForm* status = status_.get();
    ui.Parent = [main] { return main->isVisible() ? static_cast<QWidget*>(main) : nullptr; };
    addressWindows_->Parent = ui.Parent;
    ui.OnCaption = [main](const std::string& caption) { main->SetStatusCaption(caption); };
    ui.OnShowStatusPanel = [main](bool visible) { main->ShowStatusPanel(visible); };
    ui.OnProgress = [main](int position, int maximum) { main->SetProgress(position, maximum); };
    ui.OnShowRetrievalStatus = [status](bool visible) {
        status->setVisible(visible);
        if (visible) status->raise();
    };
    ui.OnCloseMainWindow = [main] { main->close(); };
    TMailCommands* commands = commands_.get();
    dm_->AfterTimedRun = [main, commands](bool processed) {
        if (processed) main->NoteTimedRun(ProcessSummary(commands->ProcessOutcomes()));
    };
    TBoxFrame* inBox = inBox_;
    TBoxFrame* delBox = delBox_;
    ui.OnBoxesRefilled = [inBox, delBox] {
        inBox->RebuildTabs();
        for (TBoxFrame* box : {inBox, delBox}) box->ShowAddedRows();
    };
    ui.OnResetSelectionCounts = [inBox, delBox](bool inBoxToo, bool delBoxToo) {
        if (inBoxToo) inBox->View().RecountTicks();
        if (delBoxToo) delBox->View().RecountTicks();
    };
    TComplaintWindow* complaintWindow = complaintWindow_.get();
    ui.OnComplaintWindow = [complaintWindow](TComplaintForm&) { complaintWindow->Open(); };
    TPasswordDlg* dialog = passwordDialog_.get();
    ui.OnNewIdentity = [dialog](TIdentityChooser& chooser) { return dialog->Ask(chooser); };
}

TDesktopProgram::TStart TDesktopProgram::Start() {
    if (!EnterHomeFolder()) {
        UserInterface().MessageBox("Cannot use the home folder " + HomeFolder(), "Tarnwick", TMsgIcon::Error, mbOK);
        return TStart::HomeInUse;
    }
    if (!ClaimHomeFolder()) return TStart::AlreadyRunning;
    // On Linux there is nothing to dial before the first window: the
    // connectivity check and automatic dial-up are left out.
    ShowSplash();
    try {
        CreateModulesAndWindows();
    } catch (const THomeInUseError& error) {
        // Nothing was renamed or written: the other program keeps its files.
        splash_.reset();
        finished_ = true;
        UserInterface().MessageBox(error.what(), "Tarnwick", TMsgIcon::Error, mbOK);
        return TStart::HomeInUse;
    }
    splash_->close();
    splash_.reset();
    dm_->Actions["Login"].Execute();
    if (dm_->NotLoggedIn) return TStart::NotSignedIn;
    dm_->Actions.UpdateAll();
    main_->show();
    return TStart::SignedIn;
}

bool TDesktopProgram::Finish() {
    if (finished_ || !dm_) return true;
    finished_ = true;
    bool written = true;
    const auto save = [&written](TTable& table) {
        try {
            if (table.FileName().empty() || !table.HasUnsavedChanges()) return;
            table.Close();
        } catch (const TTableError& error) {
            written = false;
            UserInterface().MessageBox(ReplaceAll(ReplaceAll(Tr("SaveFailed", "The changes to %s could not be saved: %e"),
                                                             "%s", table.FileName()),
                                                  "%e", error.what()),
                                       Tr("Error", "Error"), TMsgIcon::Error, mbOK);
        }
    };
    for (TTable* table : {&dm_->cdsIdentities, &dm_->cdsAccounts, &dm_->cdsFriends, &dm_->cdsBlackList}) save(*table);
    if (filters_)
        for (TTable* table : {&filters_->cdsAction, &filters_->cdsFilterCategory, &filters_->cdsRules,
                              &filters_->cdsFields, &filters_->cdsExpr})
            save(*table);
    if (addressBook_) save(addressBook_->cdsAdressBook);
    if (connections_) {
        try {
            connections_->ShutDown();
        } catch (const std::exception&) {
            // The list is rebuilt from the phone book at the next start.
        }
    }
    return written;
}
