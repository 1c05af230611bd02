#include "builder/Builders.h"

void buildFileChooser(frmMain *, const Element *, QLayout *) {}
