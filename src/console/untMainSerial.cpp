#include "console/untMain.h"

void TfrmMain::btnOpenComPortClick() {}
void TfrmMain::chkbxManyTimesClick() {}
void TfrmMain::btnWriteToPortClick() {}
void TfrmMain::tmrSendSerialTimer() {}
