#pragma once

// The builders of the tag table. Each takes the main window (only handed on), the
// element and the parent layout (may be null: the widget is then left unplaced).

#include <vector>

class Element;
class QLayout;
class frmMain;
struct TagWarning;

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
void buildProgress(frmMain *window, const Element *element, QLayout *parent); // builder/ProgressBar.cpp

// Bound widgets (widgets/)
void buildButton(frmMain *window, const Element *element, QLayout *parent);
void buildTextBox(frmMain *window, const Element *element, QLayout *parent);
void buildGlobal(const Element *element);
void buildCheckBox(frmMain *window, const Element *element, QLayout *parent);
void buildComboBox(frmMain *window, const Element *element, QLayout *parent);
void buildIconList(frmMain *window, const Element *element, QLayout *parent);
void buildFileChooser(frmMain *window, const Element *element, QLayout *parent);

// Numbers and pickers (widgets/MNumber.cpp, MDate.cpp, MColor.cpp), with their checks
void buildNumber(frmMain *window, const Element *element, QLayout *parent);
void buildSlider(frmMain *window, const Element *element, QLayout *parent);
void buildDate(frmMain *window, const Element *element, QLayout *parent);
void buildColor(frmMain *window, const Element *element, QLayout *parent);
void checkNumber(const Element *element, std::vector<TagWarning> &warnings);
void checkDate(const Element *element, std::vector<TagWarning> &warnings);
void checkColor(const Element *element, std::vector<TagWarning> &warnings);
void buildPassword(frmMain *window, const Element *element, QLayout *parent);
void buildTextArea(frmMain *window, const Element *element, QLayout *parent);
void buildRadio(frmMain *window, const Element *element, QLayout *parent);
// What kiv --check says about their raw values (see KnownTag::Check).
void checkCheckBox(const Element *element, std::vector<TagWarning> &warnings);
void checkRadio(const Element *element, std::vector<TagWarning> &warnings);
// Tables (widgets/MTable.cpp)
void buildTable(frmMain *window, const Element *element, QLayout *parent);
