#include "ui/qt/QtText.h"

#include "platform/CodePage.h"

QString ToQt(const std::string& text) { return QString::fromStdString(CodePageToUtf8(text)); }

std::string FromQt(const QString& text) { return Utf8ToCodePage(text.toStdString()); }
