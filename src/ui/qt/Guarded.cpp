#include "ui/qt/Guarded.h"

#include "base/Tr.h"
#include "base/UserInterface.h"

#include <exception>

bool RunReportingErrors(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const std::exception& error) {
        UserInterface().MessageBox(error.what(), Tr("Error", "Error"), TMsgIcon::Error, mbOK);
    }
    return false;
}
