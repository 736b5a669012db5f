#include "ui/main/SplashScreen.h"

#include "ui/qt/Icons.h"
#include "ui/qt/QtText.h"

#include <QLabel>
#include <QPushButton>

TSplashScreen::TSplashScreen(bool about, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Dialog), component_(*this) {
    setObjectName("SplashScreen");
    setFixedSize(483, 330);
    setAutoFillBackground(true);
    QPalette colors = palette();
    colors.setColor(QPalette::Window, Qt::black);
    colors.setColor(QPalette::WindowText, QColor(0xd0, 0xd8, 0xe8));
    setPalette(colors);

    auto* mark = new QLabel(this);
    mark->setObjectName("Image1");
    mark->setPixmap(LogoMark(120));
    mark->setGeometry(28, 40, 120, 120);
    auto* wordmark = new QLabel(this);
    wordmark->setObjectName("Image2");
    wordmark->setPixmap(LogoWordmark(290, 96));
    wordmark->setGeometry(168, 52, 290, 96);

    license_ = new QLabel(this);
    license_->setObjectName("license");
    license_->setWordWrap(true);
    license_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    license_->setGeometry(28, 190, 427, 80);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName("OKButton");
    ok_->setGeometry(483 - 28 - 90, 330 - 24 - 30, 90, 30);
    ok_->setDefault(true);
    ok_->setVisible(about);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    language_ = component_.Translator().OnLanguageChanged.Subscribe([this](TLanguage) { Retranslate(); });
    component_.Loaded();
    Retranslate();
}

TSplashScreen::~TSplashScreen() = default;

void TSplashScreen::Retranslate() { license_->setText(ToQt(component_.Translator().Translate("License", ""))); }
