// tarnwick: the desktop program.
#include "i18n/Translator.h"
#include "ui/main/DesktopProgram.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    int status = 0;
    {
        TDesktopProgram program;
        const TDesktopProgram::TStart start = program.Start();
        if (start == TDesktopProgram::TStart::SignedIn)
            status = application.exec();
        else if (start == TDesktopProgram::TStart::HomeInUse)
            status = 1;
        if (!program.Finish()) status = 1;
    }
    // The translator goes while the list of live translators still exists.
    ResetAppTranslator();
    return status;
}
