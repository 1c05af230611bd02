#include "app/frmMain.h"

frmMain::frmMain(QWidget *parent) : QWidget(parent) {}
frmMain::~frmMain() = default;

void frmMain::setupForm(int, char **) {}
