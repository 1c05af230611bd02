#pragma once

// The builders of the tag table. Each takes the main window (only handed on), the
// element and the parent layout (may be null: the widget is then left unplaced).

class Element;
class QLayout;
class frmMain;

void buildElement(frmMain *window, const Element *element, QLayout *parent);
void buildConfig(frmMain *window, const Element *element, QLayout *parent);

// Containers (builder/Containers.cpp)
void buildVLayout(frmMain *window, const Element *element, QLayout *parent);
void buildHLayout(frmMain *window, const Element *element, QLayout *parent);
void buildScrollLayout(frmMain *window, const Element *element, QLayout *parent);
void buildTab(frmMain *window, const Element *element, QLayout *parent);

// Display elements (builder/DisplayElements.cpp; text logs: builder/TextLog.cpp)
void buildLabel(frmMain *window, const Element *element, QLayout *parent);
void buildImage(frmMain *window, const Element *element, QLayout *parent);
void buildTextLog(frmMain *window, const Element *element, QLayout *parent);

// Bound widgets (widgets/)
void buildButton(frmMain *window, const Element *element, QLayout *parent);
void buildTextBox(frmMain *window, const Element *element, QLayout *parent);
void buildGlobal(const Element *element);
void buildCheckBox(frmMain *window, const Element *element, QLayout *parent);
void buildComboBox(frmMain *window, const Element *element, QLayout *parent);
void buildIconList(frmMain *window, const Element *element, QLayout *parent);
void buildFileChooser(frmMain *window, const Element *element, QLayout *parent);

// Tables (widgets/MTable.cpp)
void buildTable(frmMain *window, const Element *element, QLayout *parent);
