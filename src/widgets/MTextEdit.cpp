#include "builder/Builders.h"

void buildTextBox(frmMain *, const Element *, QLayout *) {}
void buildGlobal(const Element *) {}
