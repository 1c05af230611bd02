#include "builder/Builders.h"

void buildButton(frmMain *, const Element *, QLayout *) {}
