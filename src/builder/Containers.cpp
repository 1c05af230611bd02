#include "builder/AccessibleNames.h"
#include "builder/Builders.h"
#include "builder/Common.h"
#include "builder/MHLayout.h"
#include "builder/MScroll.h"
#include "builder/PendingTab.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// A QPointer, so that a form torn down with its tab widget cannot leave the next
// document a dangling widget to join.
QPointer<QTabWidget> &pendingSlot()
{
    static QPointer<QTabWidget> slot;
    return slot;
}

// childCount is read anew each step: building never adds children, but the
// loop must not assume it.
void buildChildren(frmMain *window, const Element *element, QLayout *layout)
{
    for (int i = 0; i < element->childCount(); ++i)
        buildElement(window, element->child(i), layout);
    nameWidgetsByLabels(layout);
}

} // namespace

QTabWidget *pendingTabWidget() { return pendingSlot().data(); }
void setPendingTabWidget(QTabWidget *tabs) { pendingSlot() = tabs; }

void buildVLayout(frmMain *window, const Element *element, QLayout *parent)
{
    auto *widget = new QWidget;
    auto *layout = new QVBoxLayout;
    widget->setContentsMargins(0, 0, 0, 0);
    layout->setContentsMargins(0, 0, 0, 0);
    widget->setLayout(layout);
    buildChildren(window, element, layout);
    applySizeAttributes(window, element, widget);
    if (parent)
        parent->addWidget(widget);
}

void buildHLayout(frmMain *window, const Element *element, QLayout *parent)
{
    auto *row = new MHLayout;
    buildChildren(window, element, row->innerLayout());
    applySizeAttributes(window, element, row);
    if (parent)
        parent->addWidget(row);
}

void buildScrollLayout(frmMain *window, const Element *element, QLayout *parent)
{
    auto *scroll = new MScroll;
    buildChildren(window, element, scroll->innerLayout());
    scroll->settleFocus();
    applySizeAttributes(window, element, scroll);
    if (parent) {
        // The scrolling area reaches the edges of its parent: the whole parent
        // layout loses its margins, its other widgets included.
        parent->setContentsMargins(0, 0, 0, 0);
        parent->addWidget(scroll);
    }
}

void buildTab(frmMain *window, const Element *element, QLayout *parent)
{
    auto *page = new QWidget;
    auto *pageLayout = new QVBoxLayout;

    // Every tab element after the first joins the pending tab widget, wherever it
    // stands; only the first one places a tab widget of its own.
    QTabWidget *tabs = pendingTabWidget();
    if (tabs) {
        clearPendingTabWidget();
    } else {
        tabs = new QTabWidget;
        if (parent)
            parent->addWidget(tabs);
    }
    page->setLayout(pageLayout);

    // While the children are built the slot stays empty, so a tab inside this page
    // starts a tab widget of its own there.
    OptText caption;
    for (int i = 0; i < element->childCount(); ++i) {
        const Element *child = element->child(i);
        if (child && child->name() == "title")
            caption = child->value(true);
        else
            buildElement(window, child, pageLayout);
    }
    nameWidgetsByLabels(pageLayout);

    if (caption) {
        tabs->addTab(page, toQString(caption));
    } else {
        // A page without a caption is never shown, but its widgets were built and
        // bound; tie its life to the tab widget instead of leaking it.
        page->setParent(tabs);
        page->hide();
    }
    setPendingTabWidget(tabs);
    applySizeAttributes(window, element, page);
}
