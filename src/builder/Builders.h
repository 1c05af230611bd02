#pragma once

#include "widgets/WidgetBuilders.h"

// The builders of the tag table. Each takes the form's session, the
// element and the parent layout (may be null: the widget is then left unplaced).

void buildElement(FormSession &session, const Element *element, QLayout *parent);
void buildConfig(FormSession &session, const Element *element, QLayout *parent);

// Containers (builder/Containers.cpp)
void buildVLayout(FormSession &session, const Element *element, QLayout *parent);
void buildHLayout(FormSession &session, const Element *element, QLayout *parent);
void buildScrollLayout(FormSession &session, const Element *element, QLayout *parent);
void buildTab(FormSession &session, const Element *element, QLayout *parent);

// Display elements (builder/DisplayElements.cpp; text logs: builder/TextLog.cpp)
void buildLabel(FormSession &session, const Element *element, QLayout *parent);
void buildImage(FormSession &session, const Element *element, QLayout *parent);
void buildTextLog(FormSession &session, const Element *element, QLayout *parent);
void buildProgress(FormSession &session, const Element *element, QLayout *parent); // builder/ProgressBar.cpp

// Reading a label or picture again (see KnownTag::Reload)
void reloadLabel(FormSession &session, const Element *element, QWidget *widget);
void reloadImage(FormSession &session, const Element *element, QWidget *widget);
