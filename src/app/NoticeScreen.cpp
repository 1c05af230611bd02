#include "app/NoticeScreen.h"
#include "app/frmMain.h"

void setupNotice(frmMain *, const char *, const char *) {}
