#include "builder/AccessibleNames.h"
#include "builder/Builders.h"
#include "builder/MHLayout.h"
#include "builder/MScroll.h"
#include "shell/FormSession.h"
#include "shell/MEnvVar.h"
#include "widgets/WidgetSetup.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// childCount is read anew each step: building never adds children, but the
// loop must not assume it.
void buildChildren(FormSession &session, const Element *element, QLayout *layout)
{
    for (int i = 0; i < element->childCount(); ++i)
        buildElement(session, element->child(i), layout);
    nameWidgetsByLabels(layout, session.store());
}

} // namespace

void buildVLayout(FormSession &session, const Element *element, QLayout *parent)
{
    auto *widget = new QWidget;
    auto *layout = new QVBoxLayout;
    widget->setContentsMargins(0, 0, 0, 0);
    layout->setContentsMargins(0, 0, 0, 0);
    widget->setLayout(layout);
    buildChildren(session, element, layout);
    applySizeAttributes(session, element, widget);
    if (parent)
        parent->addWidget(widget);
}

void buildHLayout(FormSession &session, const Element *element, QLayout *parent)
{
    auto *row = new MHLayout;
    buildChildren(session, element, row->innerLayout());
    applySizeAttributes(session, element, row);
    if (parent)
        parent->addWidget(row);
}

void buildScrollLayout(FormSession &session, const Element *element, QLayout *parent)
{
    auto *scroll = new MScroll;
    buildChildren(session, element, scroll->innerLayout());
    scroll->settleFocus();
    applySizeAttributes(session, element, scroll);
    if (parent) {
        // The scrolling area reaches the edges of its parent: the whole parent
        // layout loses its margins, its other widgets included.
        parent->setContentsMargins(0, 0, 0, 0);
        parent->addWidget(scroll);
    }
}

void buildTab(FormSession &session, const Element *element, QLayout *parent)
{
    auto *page = new QWidget;
    auto *pageLayout = new QVBoxLayout;

    // Every tab element after the first joins the pending tab widget, wherever it
    // stands; only the first one places a tab widget of its own.
    QTabWidget *tabs = session.pendingTab();
    if (tabs) {
        session.setPendingTab(nullptr);
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
            caption = session.value(child);
        else
            buildElement(session, child, pageLayout);
    }
    nameWidgetsByLabels(pageLayout, session.store());

    if (caption) {
        tabs->addTab(page, toQString(caption));
    } else {
        // A page without a caption is never shown, but its widgets were built and
        // bound; tie its life to the tab widget instead of leaking it.
        page->setParent(tabs);
        page->hide();
    }
    session.setPendingTab(tabs);
    applySizeAttributes(session, element, page);
}
