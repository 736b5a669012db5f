#pragma once

#include <QString>

#include <string>

// Text crosses between the program's code page and Qt's Unicode here, and
// only here.
QString ToQt(const std::string& text);
std::string FromQt(const QString& text);
