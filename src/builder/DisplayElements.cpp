#include "builder/Builders.h"

void buildLabel(frmMain *, const Element *, QLayout *) {}
void buildImage(frmMain *, const Element *, QLayout *) {}
void buildTextLog(frmMain *, const Element *, QLayout *) {}
