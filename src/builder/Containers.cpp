#include "builder/Builders.h"

void buildVLayout(frmMain *, const Element *, QLayout *) {}
void buildHLayout(frmMain *, const Element *, QLayout *) {}
void buildScrollLayout(frmMain *, const Element *, QLayout *) {}
void buildTab(frmMain *, const Element *, QLayout *) {}
