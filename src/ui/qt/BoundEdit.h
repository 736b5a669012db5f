#pragma once

#include <QLineEdit>

#include <string>

class TTable;

// A text box bound to one field of a table: it shows the current row's value
// and writes what the user types into it, putting the row into edit mode.
// Text that does not fit the field's type (a port of letters) is kept in the
// box and not written. The table must outlive the box.
class TBoundLineEdit : public QLineEdit {
public:
    TBoundLineEdit(TTable& table, std::string field, QWidget* parent = nullptr);
    ~TBoundLineEdit() override;

    // Shows the field's value of the current row again.
    void Refresh();
    // Text put in as if the user had typed it.
    void SetTextAsTyped(const QString& text);

private:
    void Typed(const QString& text);
    TTable& table_;
    std::string field_;
    int subscription_ = 0;
};
