#pragma once

// The bound widgets' builders and their checks, for the tag table.

#include <vector>

class Element;
class QLayout;
class QWidget;
class FormSession;
struct TagWarning;

void buildButton(FormSession &session, const Element *element, QLayout *parent);
void buildTextBox(FormSession &session, const Element *element, QLayout *parent);
void buildGlobal(FormSession &session, const Element *element);
void buildCheckBox(FormSession &session, const Element *element, QLayout *parent);
void buildComboBox(FormSession &session, const Element *element, QLayout *parent);
void buildIconList(FormSession &session, const Element *element, QLayout *parent);
void buildFileChooser(FormSession &session, const Element *element, QLayout *parent);

// Numbers and pickers (widgets/MNumber.cpp, MDate.cpp, MColor.cpp), with their checks
void buildNumber(FormSession &session, const Element *element, QLayout *parent);
void buildSlider(FormSession &session, const Element *element, QLayout *parent);
void buildDate(FormSession &session, const Element *element, QLayout *parent);
void buildColor(FormSession &session, const Element *element, QLayout *parent);
void checkNumber(const Element *element, std::vector<TagWarning> &warnings);
void checkDate(const Element *element, std::vector<TagWarning> &warnings);
void checkColor(const Element *element, std::vector<TagWarning> &warnings);
void buildPassword(FormSession &session, const Element *element, QLayout *parent);
void buildTextArea(FormSession &session, const Element *element, QLayout *parent);
void buildRadio(FormSession &session, const Element *element, QLayout *parent);
// What kiv --check says about their raw values (see KnownTag::Check).
void checkCheckBox(const Element *element, std::vector<TagWarning> &warnings);
void checkRadio(const Element *element, std::vector<TagWarning> &warnings);
// Tables (widgets/MTable.cpp)
void buildTable(FormSession &session, const Element *element, QLayout *parent);

// Reading a built widget's content again (see KnownTag::Reload), in each widget's own file
void reloadButton(FormSession &session, const Element *element, QWidget *widget);
void reloadTextBox(FormSession &session, const Element *element, QWidget *widget);
void reloadTextArea(FormSession &session, const Element *element, QWidget *widget);
void reloadFileChooser(FormSession &session, const Element *element, QWidget *widget);
void reloadCheckBox(FormSession &session, const Element *element, QWidget *widget);
void reloadComboBox(FormSession &session, const Element *element, QWidget *widget);
void reloadRadio(FormSession &session, const Element *element, QWidget *widget);
void reloadIconList(FormSession &session, const Element *element, QWidget *widget);
void reloadTable(FormSession &session, const Element *element, QWidget *widget);
void reloadNumber(FormSession &session, const Element *element, QWidget *widget);
void reloadDate(FormSession &session, const Element *element, QWidget *widget);
void reloadColor(FormSession &session, const Element *element, QWidget *widget);
