#include "console/untMain.h"

void TfrmMain::btnOpenUDPPortClick() {}
void TfrmMain::chkbxManyTimesUDPClick() {}
void TfrmMain::btnSendUDPClick() {}
void TfrmMain::tmrSendUDPTimer() {}
