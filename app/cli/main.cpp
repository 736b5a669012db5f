#include "Cli.h"
#include "i18n/Translator.h"

int main(int argc, char** argv) {
    const int status = RunCli(argc, argv);
    // The translator goes while the list of live translators still exists.
    ResetAppTranslator();
    return status;
}
