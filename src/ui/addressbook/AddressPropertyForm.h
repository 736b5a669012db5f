#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>
#include <QIcon>

#include <functional>
#include <map>
#include <string>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TContactEditor;

// "Property": the contact editor's pages over a TContactEditor, which holds
// every rule; the boxes write into it and show what it says.
class TAdressProperty : public QDialog {
public:
    explicit TAdressProperty(TContactEditor& editor, QWidget* parent = nullptr);
    ~TAdressProperty() override;

    QTabWidget* Pages() const { return pages_; }
    // Hands a web page to the desktop; a test puts its own here.
    std::function<void(const QString& url)> OpenPage;

private:
    QWidget* BuildSummaryPage();
    QWidget* BuildNamePage();
    QWidget* BuildHomePage();
    QWidget* BuildBusinessPage();
    // A label and a box bound to the field, in the next row of the grid.
    QLineEdit* AddBox(QGridLayout& grid, const char* labelName, const char* caption, const std::string& field);
    QPlainTextEdit* AddStreetBox(QGridLayout& grid, const char* labelName, const std::string& field);
    // A read-only copy of the field on the summary page.
    void AddCopy(QGridLayout& grid, const char* labelName, const char* caption, const std::string& field);
    QPushButton* GoButton(QWidget* parent, const char* name, const std::string& field);
    QLabel* Label(QWidget* parent, const char* name, const char* caption);

    void FieldEdited(const std::string& field, const QString& text);
    void ShowCopies();
    void ShowDisplayChoices();
    void ShowEmails();
    void EmailEdited(int row, const QString& text);

    TQtFormComponent component_;
    TContactEditor& editor_;
    QTabWidget* pages_ = nullptr;
    QComboBox* display_ = nullptr;
    QLineEdit* emailBox_ = nullptr;
    QListWidget* emails_ = nullptr;
    QPushButton* editEmail_ = nullptr;
    QPushButton* removeEmail_ = nullptr;
    QPushButton* defaultEmail_ = nullptr;
    QIcon marker_;
    std::multimap<std::string, QLineEdit*> copies_;
    bool showingEmails_ = false;
};
