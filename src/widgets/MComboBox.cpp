#include "builder/Builders.h"

void buildComboBox(frmMain *, const Element *, QLayout *) {}
