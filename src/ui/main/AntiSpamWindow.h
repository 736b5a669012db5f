#pragma once

#include "ui/qt/CoalescedCall.h"
#include "ui/qt/QtComponents.h"

#include <QMainWindow>

#include <functional>

class QAction;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QSystemTrayIcon;
class QMenu;
class TDM;
class TFilterDM;
class TRetrievalStatusForm;

// The main window: the tool bar of the mail commands, the five modes on the
// left, the work area with one view at a time, the status panel of a scan,
// the menus and the tray icon. It arranges the core's actions; it decides
// nothing about them.
class TAntiSpamWindow : public QMainWindow {
public:
    static constexpr int kModes = 5;

    TAntiSpamWindow(TDM& dm, TFilterDM& filters);
    ~TAntiSpamWindow() override;
    // The tool bar, menus and tray menu, once the mail commands have added their actions.
    void AttachCommands();

    // The view of a mode (0 InBox ... 4 blacklist); an empty frame until set.
    void SetView(int mode, QWidget* view);
    QWidget* View(int mode) const;
    void SetStatusForm(TRetrievalStatusForm* form) { statusForm_ = form; }

    void ShowStatusPanel(bool visible);
    void SetProgress(int position, int maximum);
    void SetStatusCaption(const std::string& caption);

    TTranslator& Translator() { return component_.Translator(); }
    TQtFormComponent& Component() { return component_; }

    // Seams for tests and for desktops without a tray or a browser.
    std::function<bool()> TrayAvailable;
    std::function<void(const QString& file)> OpenHelpFile;
    // Where "&Contents" looks for the help, in order.
    std::vector<QString> HelpFolders;

    // A note in the tray after a timed run, only while the window waits there.
    void NoteTimedRun(const std::string& summary);
    std::function<void(const QString& text)> ShowTrayMessage;

    QSystemTrayIcon* TrayIcon() const { return tray_; }
    void RestoreFromTray();
    void ShowAbout();
    void ShowHelpContents();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildActions();
    void BuildToolBar();
    void BuildModes();
    void BuildStatusPanel();
    void BuildMenus();
    void BuildTray();
    void ModeSelected();
    void ShowCounts();
    void ShowProgress();
    void CountsChanged();
    void MinimiseToTray();
    void EditCommand(int command);

    TQtFormComponent component_;
    TDM& dm_;
    TFilterDM& filters_;
    QListWidget* modes_ = nullptr;
    QStackedWidget* workArea_ = nullptr;
    QWidget* statusPanel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    TRetrievalStatusForm* statusForm_ = nullptr;
    QAction* receive_ = nullptr;
    QAction* process_ = nullptr;
    QAction* run_ = nullptr;
    QAction* settings_ = nullptr;
    int progressPosition_ = 0, progressMaximum_ = 1;
    TCoalescedCall progressUpdate_{this, [this] { ShowProgress(); }};
    TCoalescedCall countsUpdate_{this, [this] { ShowCounts(); }};
    QAction* about_ = nullptr;
    int inBoxSubscription_ = 0;
    int delBoxSubscription_ = 0;
    TLanguageSubscription language_;
};
