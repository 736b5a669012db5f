#pragma once

#include "ui/qt/QtComponents.h"

#include <QDialog>

class QLabel;
class QPushButton;

// The start-up splash, 483 x 330 and black with the two logos and the license
// text; with "OK" shown it is the About box.
class TSplashScreen : public QDialog {
public:
    explicit TSplashScreen(bool about, QWidget* parent = nullptr);
    ~TSplashScreen() override;

    QPushButton* OkButton() const { return ok_; }

private:
    void Retranslate();
    TQtFormComponent component_;
    QLabel* license_;
    QPushButton* ok_;
    TLanguageSubscription language_;
};
