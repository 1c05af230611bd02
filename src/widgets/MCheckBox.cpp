#include "builder/Builders.h"

void buildCheckBox(frmMain *, const Element *, QLayout *) {}
