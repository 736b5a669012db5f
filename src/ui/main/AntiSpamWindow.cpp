#include "ui/main/AntiSpamWindow.h"

#include "addressbook/DMAddress.h"
#include "base/TAction.h"
#include "core/DataModule.h"
#include "core/ModeCaption.h"
#include "filtering/dmfilters.h"
#include "ui/main/RetrievalStatusForm.h"
#include "ui/main/SplashScreen.h"
#include "ui/qt/Icons.h"
#include "ui/qt/QtActions.h"
#include "ui/qt/QtText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace {

struct TMode {
    const char* caption;
    TPicture picture;
};
constexpr TMode kModeItems[TAntiSpamWindow::kModes] = {{"Incoming mail", TPicture::InBox},
                                                       {"Deleted mail", TPicture::DelBox},
                                                       {"Filters", TPicture::Filters},
                                                       {"Friends", TPicture::Friends},
                                                       {"BlackList", TPicture::BlackList}};

enum TEditCommand { Copy, Cut, Delete, Paste, SelectAll, Undo };

QAction* Named(QAction* action, const char* name) {
    action->setObjectName(name);
    return action;
}

}  // namespace

TAntiSpamWindow::TAntiSpamWindow(TDM& dm, TFilterDM& filters)
    : component_(*this), dm_(dm), filters_(filters) {
    setObjectName("AntiSpamWindow");
    setWindowTitle("Tarnwick");
    setWindowIcon(PictureIcon(TPicture::Program));
    setMinimumSize(640, 480);
    resize(640, 480);
    TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    OpenHelpFile = [](const QString& file) { QDesktopServices::openUrl(QUrl::fromLocalFile(file)); };

    BuildModes();
    BuildStatusPanel();

    inBoxSubscription_ = dm_.cdsInBox.Subscribe([this](TTable&, TTable::TChange) { CountsChanged(); });
    delBoxSubscription_ = dm_.cdsDelBox.Subscribe([this](TTable&, TTable::TChange) { CountsChanged(); });
    // The walk gives the modes their translated names; the counts come back after it.
    language_ = component_.Translator().OnLanguageChanged.Subscribe([this](TLanguage) { ShowCounts(); });
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TAntiSpamWindow::AttachCommands() {
    if (receive_) return;
    BuildActions();
    BuildToolBar();
    BuildMenus();
    BuildTray();
}

TAntiSpamWindow::~TAntiSpamWindow() {
    dm_.cdsInBox.Unsubscribe(inBoxSubscription_);
    dm_.cdsDelBox.Unsubscribe(delBoxSubscription_);
}

void TAntiSpamWindow::BuildActions() {
    // "&Settings" opens the settings dialog once there is one; until then it is there, and unavailable.
    if (!dm_.Actions.Find("CustomizeActionBars"))
        dm_.Actions.Add("CustomizeActionBars", "&Settings", "Settings").OnUpdate = [](TAction& a) {
            a.SetEnabled(static_cast<bool>(a.OnExecute));
        };
    dm_.Actions["CustomizeActionBars"].Update();
    receive_ = ActionFor(dm_.Actions, "ReceiveIdentityMail", this);
    process_ = ActionFor(dm_.Actions, "ProcessMail", this);
    run_ = ActionFor(dm_.Actions, "RunMailClient", this);
    settings_ = ActionFor(dm_.Actions, "CustomizeActionBars", this);
    receive_->setIcon(PictureIcon(TPicture::ReceiveMail));
    process_->setIcon(PictureIcon(TPicture::ProcessMail));
    run_->setIcon(PictureIcon(TPicture::RunMailClient));
    settings_->setIcon(PictureIcon(TPicture::Settings));
    about_ = Named(new QAction("About...", this), "About");
    connect(about_, &QAction::triggered, this, &TAntiSpamWindow::ShowAbout);
}

void TAntiSpamWindow::BuildToolBar() {
    auto* bar = addToolBar("ToolBar1");
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    bar->setIconSize(QSize(24, 24));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction* action : {receive_, process_, run_, settings_}) bar->addAction(action);
}

void TAntiSpamWindow::BuildModes() {
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName("HSplitter");
    modes_ = new QListWidget(splitter);
    modes_->setObjectName("WorkAreaModeListView");
    modes_->setProperty("columns", QStringList{"Modes"});
    modes_->setViewMode(QListView::IconMode);
    modes_->setFlow(QListView::TopToBottom);
    modes_->setMovement(QListView::Static);
    modes_->setWrapping(false);
    modes_->setIconSize(QSize(32, 32));
    modes_->setSpacing(2);
    modes_->setMinimumWidth(105);
    // A caption with its count wraps rather than being cut short.
    modes_->setWordWrap(true);
    modes_->setTextElideMode(Qt::ElideNone);
    modes_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    modes_->setMouseTracking(true);
    modes_->viewport()->installEventFilter(this);
    for (const TMode& mode : kModeItems) new QListWidgetItem(PictureIcon(mode.picture), mode.caption, modes_);
    for (int i = 0; i < kModes; ++i) modes_->item(i)->setSizeHint(QSize(96, 72));

    workArea_ = new QStackedWidget(splitter);
    workArea_->setObjectName("WorkArea");
    workArea_->setFrameShape(QFrame::NoFrame);
    for (int i = 0; i < kModes; ++i) workArea_->addWidget(new QFrame(workArea_));
    splitter->addWidget(modes_);
    splitter->addWidget(workArea_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({110, 530});
    setCentralWidget(splitter);
    connect(modes_, &QListWidget::itemSelectionChanged, this, &TAntiSpamWindow::ModeSelected);
    modes_->setCurrentRow(0);
}

void TAntiSpamWindow::BuildStatusPanel() {
    statusPanel_ = new QWidget(this);
    statusPanel_->setObjectName("StatusPanel");
    auto* layout = new QHBoxLayout(statusPanel_);
    layout->setContentsMargins(4, 2, 4, 2);
    progress_ = new QProgressBar(statusPanel_);
    progress_->setObjectName("RetrievalProgressBar");
    progress_->setRange(0, 100);
    progress_->setValue(0);
    auto* stop = new QPushButton("Stop", statusPanel_);
    stop->setObjectName("StopButton");
    auto* view = new QPushButton("View", statusPanel_);
    view->setObjectName("ShowStatusButton");
    layout->addWidget(progress_, 1);
    layout->addWidget(stop);
    layout->addWidget(view);
    connect(stop, &QPushButton::clicked, this, [this] { dm_.Idle = true; });
    connect(view, &QPushButton::clicked, this, [this] {
        if (statusForm_) statusForm_->ToggleVisible();
    });
    statusBar()->addWidget(statusPanel_, 1);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->hide();
}

void TAntiSpamWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    file->setObjectName("File1");
    file->addAction(ActionFor(filters_.Actions, "FilterExport", this));
    file->addAction(ActionFor(filters_.Actions, "FilterImport", this));
    file->addSeparator();
    connect(Named(file->addAction("Address Book"), "AddressBook1"), &QAction::triggered, this, [] {
        if (TAddressDM* book = CurrentAddressDM()) book->Actions["ListContact"].Execute();
    });
    file->addSeparator();
    connect(Named(file->addAction("E&xit"), "Exit1"), &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu("Edit");
    edit->setObjectName("Edit1");
    const struct {
        const char* name;
        const char* caption;
        QKeySequence keys;
        TEditCommand command;
    } editItems[] = {{"EditCopy1", "Copy", QKeySequence("Ctrl+C"), Copy},
                     {"EditCut1", "Cut", QKeySequence("Ctrl+X"), Cut},
                     {"EditDelete1", "Delete", QKeySequence("Del"), Delete},
                     {"EditPaste1", "Paste", QKeySequence("Ctrl+V"), Paste},
                     {"EditSelectAll1", "Select All", QKeySequence("Ctrl+A"), SelectAll},
                     {"EditUndo1", "Undo", QKeySequence("Ctrl+Z"), Undo}};
    for (const auto& item : editItems) {
        QAction* action = Named(edit->addAction(item.caption), item.name);
        action->setShortcut(item.keys);
        // Only where a text box has the focus; grids keep their own keys.
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, [this, command = item.command] { EditCommand(command); });
    }

    QMenu* help = menuBar()->addMenu("Help");
    help->setObjectName("Help1");
    connect(Named(help->addAction("&Contents"), "HelpContents"), &QAction::triggered, this,
            &TAntiSpamWindow::ShowHelpContents);
    help->addSeparator();
    help->addAction(about_);
}

void TAntiSpamWindow::BuildTray() {
    tray_ = new QSystemTrayIcon(PictureIcon(TPicture::Program), this);
    tray_->setObjectName("TrayIcon");
    trayMenu_ = new QMenu(this);
    trayMenu_->setObjectName("TrayMenu");
    trayMenu_->addAction(receive_);
    trayMenu_->addAction(process_);
    trayMenu_->addAction(run_);
    trayMenu_->addSeparator();
    trayMenu_->addAction(settings_);
    trayMenu_->addSeparator();
    trayMenu_->addAction(about_);
    trayMenu_->addSeparator();
    connect(Named(trayMenu_->addAction("E&xit"), "Exit2"), &QAction::triggered, this, &QWidget::close);
    tray_->setContextMenu(trayMenu_);
    ShowTrayMessage = [this](const QString& text) { tray_->showMessage("Tarnwick", text); };
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) RestoreFromTray();
    });
}

void TAntiSpamWindow::SetView(int mode, QWidget* view) {
    if (mode < 0 || mode >= kModes || !view) return;
    QWidget* old = workArea_->widget(mode);
    workArea_->insertWidget(mode, view);
    workArea_->removeWidget(old);
    delete old;
    workArea_->setCurrentIndex(std::max(0, modes_->currentRow()));
}

QWidget* TAntiSpamWindow::View(int mode) const { return workArea_->widget(mode); }

// Deselecting leaves the view as it is.
void TAntiSpamWindow::ModeSelected() {
    const int row = modes_->currentRow();
    if (row < 0 || modes_->selectedItems().isEmpty()) return;
    workArea_->setCurrentIndex(row);
}

// While a scan adds rows, the counts follow when the window gets to its events.
void TAntiSpamWindow::CountsChanged() { countsUpdate_.When(dm_.Idle); }

void TAntiSpamWindow::ShowCounts() {
    const int rows[] = {dm_.cdsInBox.RecordCount(), dm_.cdsDelBox.RecordCount()};
    for (int mode = 0; mode < 2; ++mode) {
        QListWidgetItem* item = modes_->item(mode);
        // A scan changes the boxes many times a message; the list is laid out
        // again only when a caption reads differently.
        const QString caption = ToQt(CountedModeCaption(FromQt(item->text()), rows[mode]));
        if (caption != item->text()) item->setText(caption);
    }
}

void TAntiSpamWindow::ShowStatusPanel(bool visible) {
    statusBar()->setVisible(visible);
}

// Called for every message of a scan: the bar takes the latest position when
// the window next gets to its events, so it is drawn at most that often.
void TAntiSpamWindow::SetProgress(int position, int maximum) {
    progressMaximum_ = std::max(1, maximum);
    progressPosition_ = std::min(position, progressMaximum_);
    progressUpdate_.Soon();
}

void TAntiSpamWindow::ShowProgress() {
    // setValue would repaint the whole window at once; it is painted with the rest instead.
    progress_->setUpdatesEnabled(false);
    if (progress_->maximum() != progressMaximum_) progress_->setMaximum(progressMaximum_);
    progress_->setValue(progressPosition_);
    progress_->setUpdatesEnabled(true);
}

void TAntiSpamWindow::SetStatusCaption(const std::string& caption) {
    setWindowTitle(ToQt(caption));
    if (tray_) tray_->setToolTip(windowTitle());
}

void TAntiSpamWindow::NoteTimedRun(const std::string& summary) {
    // A user who left Tarnwick in the tray learns that it worked.
    if (summary.empty() || isVisible() || !tray_ || !tray_->isVisible()) return;
    ShowTrayMessage(ToQt(summary));
}

void TAntiSpamWindow::ShowAbout() {
    TSplashScreen about(true, this);
    about.exec();
}

// The help file's name without its extension names the folder of the guide's pages.
void TAntiSpamWindow::ShowHelpContents() {
    const QString helpFile = ToQt(component_.Translator().Translate("AntiSpamWindow.HelpFileName", "Hilfe.chm"));
    const QString page = QFileInfo(helpFile).completeBaseName() + "/Bedienungsanleitung.html";
    for (const QString& folder : HelpFolders) {
        const QString candidate = folder + "/" + page;
        if (QFileInfo::exists(candidate)) {
            OpenHelpFile(candidate);
            return;
        }
    }
}

void TAntiSpamWindow::EditCommand(int command) {
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        switch (command) {
            case Copy: line->copy(); break;
            case Cut: line->cut(); break;
            case Delete: line->del(); break;
            case Paste: line->paste(); break;
            case SelectAll: line->selectAll(); break;
            case Undo: line->undo(); break;
        }
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(focus)) {
        switch (command) {
            case Copy: text->copy(); break;
            case Cut: text->cut(); break;
            case Delete: text->textCursor().removeSelectedText(); break;
            case Paste: text->paste(); break;
            case SelectAll: text->selectAll(); break;
            case Undo: text->undo(); break;
        }
    }
}

void TAntiSpamWindow::MinimiseToTray() {
    tray_->setToolTip(windowTitle());
    tray_->show();
    hide();
}

void TAntiSpamWindow::RestoreFromTray() {
    tray_->hide();
    showNormal();
    raise();
    activateWindow();
}

void TAntiSpamWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Without a tray there would be nothing to bring the window back with.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && tray_ && TrayAvailable())
        QTimer::singleShot(0, this, &TAntiSpamWindow::MinimiseToTray);
}

void TAntiSpamWindow::closeEvent(QCloseEvent* event) {
    dm_.Idle = true;
    if (statusForm_) statusForm_->hide();
    if (tray_) tray_->hide();
    QMainWindow::closeEvent(event);
}

// The hand over a mode's icon tells that a click there switches the view.
bool TAntiSpamWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == modes_->viewport() && event->type() == QEvent::MouseMove) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        const QListWidgetItem* item = modes_->itemAt(at);
        bool overIcon = false;
        if (item) {
            const QRect cell = modes_->visualItemRect(item);
            const QRect icon(cell.center().x() - 18, cell.top(), 36, 40);
            overIcon = icon.contains(at);
        }
        modes_->viewport()->setCursor(overIcon ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
    return QMainWindow::eventFilter(watched, event);
}
