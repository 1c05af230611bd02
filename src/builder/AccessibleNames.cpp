#include "builder/AccessibleNames.h"

#include "builder/ProgressBar.h"
#include "markup/LosslessText.h"
#include "shell/MEnvVar.h"
#include "widgets/MButton.h"
#include "widgets/MCheckBox.h"
#include "widgets/MColor.h"
#include "widgets/MComboBox.h"
#include "widgets/MDate.h"
#include "widgets/MListWidget.h"
#include "widgets/MNumber.h"
#include "widgets/MRadio.h"
#include "widgets/MTextArea.h"
#include "widgets/MTable.h"
#include "widgets/MTextEdit.h"
#include "widgets/MTextFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTextDocumentFragment>
#include <QToolButton>

namespace {

// What a label says, as plain words: no mark-up, no line breaks, no closing colon.
QString spokenText(const QLabel *label)
{
    QString text = label->text();
    if (label->textFormat() == Qt::RichText
        || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
        text = QTextDocumentFragment::fromHtml(text).toPlainText();
    text = text.simplified();
    while (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

QString variableName(const MEnvVar *store, int index)
{
    return store && index >= 0 && index < store->count() ? textFromBytes(store->name(index)) : QString();
}

QString firstOf(std::initializer_list<QString> names)
{
    for (const QString &name : names) {
        if (!name.isEmpty())
            return name;
    }
    return QString();
}

// The log itself, or the one a wrapper holds. A column holding logs looks like a
// wrapper too, but its own pass has named them already.
QWidget *unnamedTextLogIn(QWidget *widget)
{
    static const QString name = QStringLiteral("textLog");
    QWidget *log = widget->objectName() == name ? widget
                                                : widget->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
    return log && log->accessibleName().isEmpty() ? log : nullptr;
}

// A widget that shows its own caption: the label before it only describes it.
void describe(QWidget *captioned, const QString &caption, const QString &label, const QString &fallback)
{
    if (caption.isEmpty())
        captioned->setAccessibleName(firstOf({label, fallback}));
    else if (!label.isEmpty())
        captioned->setAccessibleDescription(label);
}

void name(QWidget *widget, const QString &label, const MEnvVar *store)
{
    if (auto *box = qobject_cast<MTextEdit *>(widget)) {
        const QString kind = box->hidesText() ? QStringLiteral("Password") : QStringLiteral("Text");
        box->lineEdit()->setAccessibleName(firstOf({label, variableName(store, box->varIndex()), kind}));
    } else if (auto *area = qobject_cast<MTextArea *>(widget)) {
        area->textEdit()->setAccessibleName(firstOf({label, variableName(store, area->varIndex()), QStringLiteral("Text")}));
    } else if (auto *radio = qobject_cast<MRadio *>(widget)) {
        describe(radio->groupBox(), radio->groupBox()->title(), label, variableName(store, radio->varIndex()));
    } else if (auto *chooser = qobject_cast<MTextFile *>(widget)) {
        const QString path = firstOf({label, variableName(store, chooser->varIndex()), QStringLiteral("Path")});
        chooser->lineEdit()->setAccessibleName(path);
        chooser->browseButton()->setAccessibleName(QStringLiteral("Browse for %1").arg(path));
    } else if (auto *combo = qobject_cast<MComboBox *>(widget)) {
        // Qt on Linux speaks a combo box's current entry as its name, whatever is
        // set; the description carries the label there.
        const QString spoken = firstOf({label, variableName(store, combo->varIndex()), QStringLiteral("Choice")});
        combo->comboBox()->setAccessibleName(spoken);
        combo->comboBox()->setAccessibleDescription(spoken);
    } else if (auto *list = qobject_cast<MListWidget *>(widget)) {
        list->listWidget()->setAccessibleName(firstOf({label, variableName(store, list->varIndex()), QStringLiteral("List")}));
    } else if (auto *number = qobject_cast<MNumber *>(widget)) {
        number->input()->setAccessibleName(
            firstOf({label, variableName(store, number->varIndex()), QStringLiteral("Number")}));
    } else if (auto *date = qobject_cast<MDate *>(widget)) {
        date->dateEdit()->setAccessibleName(firstOf({label, variableName(store, date->varIndex()), QStringLiteral("Date")}));
    } else if (auto *color = qobject_cast<MColor *>(widget)) {
        // The caption is the colour's code: the label says what it is for.
        color->swatchButton()->setAccessibleName(
            firstOf({label, variableName(store, color->varIndex()), QStringLiteral("Colour")}));
    } else if (auto *table = qobject_cast<MTable *>(widget)) {
        const QString spoken = firstOf({label, variableName(store, table->varIndex()), QStringLiteral("Table")});
        table->tableView()->setAccessibleName(spoken);
    } else if (auto *check = qobject_cast<MCheckBox *>(widget)) {
        describe(check->checkBox(), check->checkBox()->text(), label, variableName(store, check->varIndex()));
    } else if (auto *button = qobject_cast<MButton *>(widget)) {
        describe(button->pushButton(), button->pushButton()->text(), label, QStringLiteral("OK"));
    } else if (auto *bar = qobject_cast<ProgressBarView *>(widget)) {
        bar->setAccessibleName(firstOf({label, QStringLiteral("Progress")}));
    } else if (QWidget *log = unnamedTextLogIn(widget)) {
        log->setAccessibleName(firstOf({label, QStringLiteral("Output")}));
    }
}

} // namespace

void nameWidgetsByLabels(QLayout *layout, const MEnvVar &variables)
{
    if (!layout)
        return;
    QString label; // the text of the label just before, if the item before is one
    for (int i = 0; i < layout->count(); ++i) {
        QWidget *widget = layout->itemAt(i)->widget();
        if (!widget) {
            label.clear();
            continue;
        }
        name(widget, label, &variables);
        const auto *shown = qobject_cast<QLabel *>(widget);
        label = shown && shown->pixmap().isNull() ? spokenText(shown) : QString();
    }
}
