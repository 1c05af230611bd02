#include "widgets/MListWidget.h"

#include "shell/BusyState.h"
#include "shell/MEnvVar.h"
#include "widgets/ImageFile.h"
#include "widgets/MListWidgetItem.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QLayout>
#include <QListWidget>
#include <QMetaMethod>
#include <QSignalBlocker>

#include <algorithm>
#include <optional>

namespace {

QIcon iconFromPath(const QByteArray &path)
{
    const QImage picture = loadImageFile(path);
    return picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture));
}

} // namespace

MListWidget::MListWidget(QWidget *parent) : QWidget(parent)
{
    m_listWidget = new QListWidget;
    m_listWidget->setObjectName(QStringLiteral("listWidget"));
    // Set before the view mode: an explicit movement survives later mode changes,
    // so entries cannot be dragged around in either mode.
    m_listWidget->setMovement(QListView::Static);
    applyIconSize();
    m_listWidget->setViewMode(QListView::IconMode);

    wrapInColumn(this, m_listWidget);

    m_listWidget->installEventFilter(this);
    connect(m_listWidget, &QListWidget::itemSelectionChanged, this, &MListWidget::changeValue);
    connect(m_listWidget, &QListWidget::itemDoubleClicked, this, &MListWidget::doubleClicked);

    m_defaultIcon = QFile::decodeName(defaultIconPath());
}

MListWidget::~MListWidget()
{
    // The entries go first, while the list that holds their items still exists.
    for (const QPointer<MListWidgetItem> &entry : m_entries)
        delete entry.data();
}

void MListWidget::setMode(const QByteArray &mode)
{
    if (mode.startsWith('i'))
        m_listWidget->setViewMode(QListView::IconMode);
    else if (mode.startsWith('l'))
        m_listWidget->setViewMode(QListView::ListMode);
}

void MListWidget::setIconWidth(const QByteArray &width)
{
    if (const auto n = leadingDigits(width, kMaxIconSide)) {
        m_iconWidth = *n;
        applyIconSize();
    }
}

void MListWidget::setIconHeight(const QByteArray &height)
{
    if (const auto n = leadingDigits(height, kMaxIconSide)) {
        m_iconHeight = *n;
        applyIconSize();
    }
}

void MListWidget::applyIconSize() { m_listWidget->setIconSize(QSize(m_iconWidth, m_iconHeight)); }

void MListWidget::addEntry(MListWidgetItem *entry)
{
    if (!entry)
        return;
    entry->setParent(this);
    m_entries.emplace_back(entry);
    if (entry->listItem())
        m_listWidget->insertItem(m_listWidget->count(), entry->listItem());
}

void MListWidget::addTextEntry(const QString &text)
{
    // One shared icon: its picture is then read once, not once per entry.
    if (m_defaultIconImage.isNull())
        m_defaultIconImage = iconFromPath(defaultIconPath());
    auto *item = new QListWidgetItem(m_listWidget);
    item->setIcon(m_defaultIconImage);
    item->setText(text);
}

MListWidgetItem *MListWidget::entry(int i) const
{
    return i >= 0 && i < entryCount() ? m_entries[size_t(i)].data() : nullptr;
}

void MListWidget::clearEntries()
{
    for (const QPointer<MListWidgetItem> &entry : m_entries)
        delete entry.data();
    m_entries.clear();
    m_listWidget->clear();
}

void MListWidget::selectText(const QString &text)
{
    for (int i = 0; i < m_listWidget->count(); ++i) {
        if (QListWidgetItem *item = m_listWidget->item(i); item->text() == text) {
            m_listWidget->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
            return;
        }
    }
}

void MListWidget::changeValue()
{
    const QList<QListWidgetItem *> selected = m_listWidget->selectedItems();
    Q_EMIT valueChanged(m_varIndex, selected.isEmpty() ? QStringLiteral("") : selected.first()->text());
}

void MListWidget::doubleClicked(QListWidgetItem *item)
{
    if (!item)
        return;
    for (const QPointer<MListWidgetItem> &entry : m_entries) {
        if (entry && entry->listItem() == item) {
            if (entry->runOwnCommand())
                return;
            break;
        }
    }
    if (!m_doubleClickCommand || !m_session)
        return;
    runUserCommand(*m_session, *m_doubleClickCommand, isSignalConnected(QMetaMethod::fromSignal(&MListWidget::outputEmit)),
                   this, [this](const QByteArray &output) { Q_EMIT outputEmit(output); });
}

bool MListWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_listWidget || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        || (key->modifiers() & ~Qt::KeypadModifier))
        return false;
    QListWidgetItem *item = m_listWidget->currentItem();
    if (!item)
        return false;
    // A double click selects its entry first; the command must see the same value.
    if (!item->isSelected())
        m_listWidget->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
    doubleClicked(item);
    return true;
}

void addIconListEntries(MListWidget *list, const OptText &text)
{
    if (!list || !text)
        return;
    for (const QByteArray &line : text->split('\n')) {
        if (!line.isEmpty())
            list->addTextEntry(textFromBytes(line));
    }
}

MListWidgetItem *buildIconEntry(FormSession &session, const Element *element)
{
    auto *entry = new MListWidgetItem;

    const OptText text = startValue(session, element);

    OptText source = session.attribute(element, "src");
    if (!hasText(source))
        source = session.attribute(element, "href");
    const QByteArray iconPath = hasText(source) ? resolveIconPath(*source) : defaultIconPath();

    entry->setListItem(new QListWidgetItem(iconFromPath(iconPath), toQString(text)));

    if (const OptText command = session.written(element, "ondoubleclick"); hasText(command))
        entry->setCommand(&session, command);
    return entry;
}

namespace {

// The content's lines, then the icon elements.
void readIconEntries(FormSession &session, const Element *element, MListWidget *list)
{
    // The list's own variable already exists when the content command runs.
    if (hasText(session.written(element)))
        addIconListEntries(list, session.value(element));

    for (int i = 0; i < element->childCount(); ++i) {
        const Element *child = element->child(i);
        if (child && child->name() == "icon")
            list->addEntry(buildIconEntry(session, child));
    }
}

} // namespace

void buildIconList(FormSession &session, const Element *element, QLayout *parent)
{
    auto *list = new MListWidget;

    list->setVarIndex(bindVariable(session, element));
    MEnvVar *store = &session.store();

    OptText mode = session.attribute(element, "mode");
    list->setMode(hasText(mode) ? *mode : QByteArray("icon"));
    if (const OptText w = session.attribute(element, "iconwidth"); hasText(w))
        list->setIconWidth(*w);
    if (const OptText h = session.attribute(element, "iconheight"); hasText(h))
        list->setIconHeight(*h);
    if (const OptText command = session.written(element, "ondoubleclick"); hasText(command))
        list->setDoubleClickCommand(&session, command);

    if (store)
        QObject::connect(list, &MListWidget::valueChanged, store, &MEnvVar::takeDecoded);

    readIconEntries(session, element, list);

    applySizeAttributes(session, element, list->listWidget());
    if (parent)
        parent->addWidget(list);
}

void reloadIconList(FormSession &session, const Element *element, QWidget *widget)
{
    auto *list = qobject_cast<MListWidget *>(widget);
    if (!list)
        return;
    const QList<QListWidgetItem *> selected = list->listWidget()->selectedItems();
    const std::optional<QString> kept =
        selected.isEmpty() ? std::nullopt : std::optional(selected.first()->text());
    {
        // One report at the end, not one per step of the rebuild.
        const QSignalBlocker quiet(list->listWidget());
        list->clearEntries();
        readIconEntries(session, element, list);
        if (kept)
            list->selectText(*kept);
    }
    list->changeValue();
}
