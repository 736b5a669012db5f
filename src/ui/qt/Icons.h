#pragma once

#include <QIcon>
#include <QPixmap>

// The program's pictures: the desktop theme's icon where it has one, else a
// small drawing of our own, so the program looks whole on any desktop.
enum class TPicture { ReceiveMail, ProcessMail, RunMailClient, Settings, InBox, DelBox, Filters, Friends, BlackList, Program, Mark };

QIcon PictureIcon(TPicture picture);
// The two logo pictures of the splash screen.
QPixmap LogoMark(int size);
QPixmap LogoWordmark(int width, int height);
