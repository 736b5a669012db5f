#pragma once

class QBoxLayout;
class QDialog;
class QPushButton;

// "OK" (the default button, "OKBtn") and "Cancel" ("CancelBtn", also Escape)
// at the foot of a dialog. Cancel rejects; what OK does is the dialog's, so
// the OK button is returned for it to connect.
QPushButton* AddOkCancel(QDialog& dialog, QBoxLayout& layout);
