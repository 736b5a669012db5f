#include "parsing/TMailMessage.h"

void TMailMessage::Reset() {
    RawLines.clear();
    HeaderInfo.Reset();
}

void TMailMessage::Parse() {
    HeaderInfo.Reset();
    HeaderInfo.ParseLines(RawLines);
}
