#include "builder/Builders.h"

void buildIconList(frmMain *, const Element *, QLayout *) {}
