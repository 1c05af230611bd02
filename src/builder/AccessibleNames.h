#pragma once

class MEnvVar;
class QLayout;

// Gives the widgets of one layout the names a screen reader speaks for them. A
// widget without a caption of its own (text box, password, text area, file
// chooser, combo box, icon list, text log) is named by the label just before it in
// the layout, else by its variable, else by its kind ("Output" for a text log). A
// button, check box or titled radio group keeps its caption; a label before it
// becomes its description. Run once per
// layout, after its children are built; variables names the bound ones.
void nameWidgetsByLabels(QLayout *layout, const MEnvVar &variables);
