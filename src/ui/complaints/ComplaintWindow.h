#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TComplaintForm;

// The complaint window ("Complaint"): three pages over the core's
// TComplaintForm, which holds every rule; made once and shown again for each
// message.
class TComplaintWindow : public QDialog {
public:
    explicit TComplaintWindow(TComplaintForm& form, QWidget* parent = nullptr);
    ~TComplaintWindow() override;

    // Prepares the form for the message it holds and shows the window modally.
    int Open();
    // The preparation alone (Open does it first).
    void Prepare();
    TQtFormComponent& Component() { return component_; }
    void reject() override;

private:
    QWidget* BuildAdminPage();
    QWidget* BuildUsersPage();
    QWidget* BuildErrorPage();
    QPushButton* ActionButton(const char* action, QWidget* parent);
    // The state the form holds, shown again (the edit boxes only on Open).
    void ShowState();
    void ShowTexts();

    TQtFormComponent component_;
    TComplaintForm& form_;
    QTabWidget* pages_;
    QComboBox* route_;
    QLineEdit* adminSubject_;
    QCheckBox* adminAppend_;
    QCheckBox* adminInclude_;
    QPlainTextEdit* adminText_;
    QListWidget* adminList_;
    QPlainTextEdit* ipInformation_;
    QListWidget* userList_;
    QLineEdit* userSubject_;
    QCheckBox* userAppend_;
    QCheckBox* userInclude_;
    QPlainTextEdit* userText_;
    QPlainTextEdit* errorText_;
    QPushButton* cancel_;
    bool showing_ = false;
};
