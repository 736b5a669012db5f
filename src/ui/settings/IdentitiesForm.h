#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TIdentityChooser;

// "Choose your identity": shows the chooser's list and forwards the buttons
// to it; what is right or wrong is the chooser's business.
class TIdentitiesForm : public QDialog {
public:
    TIdentitiesForm(TIdentityChooser& chooser, QWidget* parent = nullptr);
    ~TIdentitiesForm() override;

private:
    void Fill();
    void SelectionChanged(int index);
    void ContinueClicked();
    void NewClicked();
    void Retranslate();

    TQtFormComponent component_;
    TIdentityChooser& chooser_;
    QComboBox* identities_;
    QLineEdit* password_;
    QPushButton* ok_;
    QPlainTextEdit* info_;
    TLanguageSubscription language_;
};
