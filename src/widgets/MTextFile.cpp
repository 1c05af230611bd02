#include "widgets/MTextFile.h"

#include "builder/Builders.h"
#include "builder/Common.h"
#include "shell/MEnvVar.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>

MTextFile::MTextFile(QWidget *parent) : QWidget(parent)
{
    m_lineEdit = new QLineEdit;
    m_lineEdit->setObjectName(QStringLiteral("lineEdit"));
    m_browseButton = new QToolButton;
    m_browseButton->setObjectName(QStringLiteral("browseButton"));

    // One dialog for the chooser's whole life, so that its directory and
    // selection carry over between uses. As a QDialog it stays a window of its
    // own while the chooser owns it.
    m_dialog = new QFileDialog(this);
    m_dialog->setObjectName(QStringLiteral("fileDialog"));
    // Qt's own dialog behaves the same on every desktop and under test.
    m_dialog->setOption(QFileDialog::DontUseNativeDialog);

    auto *layout = new QHBoxLayout;
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_dialog->setFileMode(QFileDialog::ExistingFile);
    m_dialog->setNameFilter(tr("All files (*.*)"));
    m_dialog->setViewMode(QFileDialog::List);
    m_browseButton->setText(QStringLiteral("..."));
    layout->addWidget(m_lineEdit);
    layout->addWidget(m_browseButton);
    setLayout(layout);
    setContentsMargins(0, 0, 0, 0);
    layout->setContentsMargins(0, 0, 0, 0);

    connect(m_lineEdit, &QLineEdit::textChanged, this, &MTextFile::changeValue);
    connect(m_browseButton, &QToolButton::clicked, this, &MTextFile::trovaFile);
}

void MTextFile::setFilter(const QByteArray &filter)
{
    if (!filter.isEmpty())
        m_dialog->setNameFilter(QString::fromUtf8(filter));
}

void MTextFile::setMode(const QByteArray &mode)
{
    if (mode.startsWith('o')) {
        m_dialog->setOption(QFileDialog::ShowDirsOnly, false);
        m_dialog->setFileMode(QFileDialog::ExistingFile);
        m_dialog->setLabelText(QFileDialog::Accept, tr("Open"));
    } else if (mode.startsWith('s')) {
        m_dialog->setOption(QFileDialog::ShowDirsOnly, false);
        m_dialog->setFileMode(QFileDialog::AnyFile);
        m_dialog->setLabelText(QFileDialog::Accept, tr("Save"));
    } else if (mode.startsWith('d')) {
        m_dialog->setFileMode(QFileDialog::Directory);
        m_dialog->setOption(QFileDialog::ShowDirsOnly, true);
    }
}

void MTextFile::setInitialText(const OptText &text)
{
    if (!text)
        return;
    const QString path = QString::fromUtf8(*text);
    m_lineEdit->setText(path);
    Q_EMIT valueChanged(m_varIndex, path);
}

void MTextFile::changeValue(const QString &text) { Q_EMIT valueChanged(m_varIndex, text); }

void MTextFile::trovaFile()
{
    if (m_dialog->isVisible())
        return;
    const QPointer<MTextFile> self(this);
    const int result = m_dialog->exec();
    if (!self || result != QDialog::Accepted)
        return;
    const QStringList chosen = m_dialog->selectedFiles();
    if (chosen.isEmpty())
        return;
    const QString path = chosen.first();
    m_lineEdit->setText(path);
    Q_EMIT valueChanged(m_varIndex, path);
}

void buildFileChooser(frmMain *window, const Element *element, QLayout *parent)
{
    auto *chooser = new MTextFile;

    MEnvVar *store = variableStore();
    const OptText var = element->attribute("var", true);
    chooser->setVarIndex(store && hasText(var) ? store->addVariable(*var, QByteArray("")) : -1);

    if (const OptText filter = element->attribute("filter", true); hasText(filter))
        chooser->setFilter(*filter);
    if (const OptText mode = element->attribute("mode", true); hasText(mode))
        chooser->setMode(*mode);

    if (store)
        QObject::connect(chooser, &MTextFile::valueChanged, store, &MEnvVar::updateVal);

    OptText path = element->value(true);
    if (!hasText(path))
        path = element->attribute("text", true);
    chooser->setInitialText(path);

    applySizeAttributes(window, element, chooser);
    if (parent)
        parent->addWidget(chooser);
}
