#include "widgets/MTextFile.h"

#include "shell/MEnvVar.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
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
    // "*", not "*.*": README and Makefile are files too.
    m_filter = tr("All files (*)");

    auto *layout = new QHBoxLayout;
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_browseButton->setText(QStringLiteral("..."));
    layout->addWidget(m_lineEdit);
    layout->addWidget(m_browseButton);
    setLayout(layout);
    setContentsMargins(0, 0, 0, 0);
    layout->setContentsMargins(0, 0, 0, 0);

    connect(m_lineEdit, &QLineEdit::textChanged, this, &MTextFile::changeValue);
    connect(m_browseButton, &QToolButton::clicked, this, &MTextFile::trovaFile);
}

QFileDialog *MTextFile::dialog() const
{
    if (!m_dialog) {
        // As a QDialog it stays a window of its own while the chooser owns it;
        // kept for the chooser's life, so its directory and selection carry over.
        auto *dialog = new QFileDialog(const_cast<MTextFile *>(this));
        dialog->setObjectName(QStringLiteral("fileDialog"));
        // Qt's own dialog behaves the same on every desktop and under test.
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setNameFilter(m_filter);
        dialog->setViewMode(QFileDialog::List);
        applyMode(dialog);
        m_dialog = dialog;
    }
    return m_dialog;
}

void MTextFile::setFilter(const QByteArray &filter)
{
    if (filter.isEmpty())
        return;
    m_filter = textFromBytes(filter);
    if (m_dialog)
        m_dialog->setNameFilter(m_filter);
}

void MTextFile::setMode(const QByteArray &mode)
{
    if (mode.isEmpty() || (mode[0] != 'o' && mode[0] != 's' && mode[0] != 'd'))
        return;
    m_mode = mode[0];
    if (m_dialog)
        applyMode(m_dialog);
}

void MTextFile::applyMode(QFileDialog *dialog) const
{
    switch (m_mode) {
    case 'o':
        dialog->setOption(QFileDialog::ShowDirsOnly, false);
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setLabelText(QFileDialog::Accept, tr("Open"));
        break;
    case 's':
        dialog->setOption(QFileDialog::ShowDirsOnly, false);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setLabelText(QFileDialog::Accept, tr("Save"));
        break;
    case 'd':
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
        break;
    default:
        break;
    }
}

void MTextFile::startAtPath(QFileDialog *dialog) const
{
    // Bytes that are not UTF-8 name a file Qt cannot reach: stay where it was.
    const QString text = m_lineEdit->text();
    if (text.isEmpty() || hasByteEscape(text))
        return;
    // A relative path is taken from kiv's directory, where commands run.
    const QFileInfo path(text);
    if (path.isDir()) {
        dialog->setDirectory(path.absoluteFilePath());
        return;
    }
    QString folder = path.absolutePath();
    while (!QFileInfo(folder).isDir()) {
        const QString up = QFileInfo(folder).path();
        if (up == folder)
            return;
        folder = up;
    }
    dialog->setDirectory(folder);
    if (folder == path.absolutePath())
        dialog->selectFile(path.fileName());
}

void MTextFile::setInitialText(const OptText &text)
{
    if (!text)
        return;
    const QString path = textFromBytes(*text);
    Q_EMIT valueDecoded(m_varIndex, path);
    m_lineEdit->setText(path);
    Q_EMIT valueChanged(m_varIndex, path);
}

void MTextFile::changeValue(const QString &text) { Q_EMIT valueChanged(m_varIndex, text); }

void MTextFile::trovaFile()
{
    QFileDialog *files = dialog();
    if (files->isVisible())
        return;
    startAtPath(files);
    const QPointer<MTextFile> self(this);
    const int result = files->exec();
    if (!self || result != QDialog::Accepted)
        return;
    const QStringList chosen = files->selectedFiles();
    if (chosen.isEmpty())
        return;
    // The name's bytes, as kiv shows any other: characters of U+F780..U+F7FF in a
    // name then stay characters.
    const QString path = textFromBytes(QFile::encodeName(chosen.first()));
    Q_EMIT valueDecoded(m_varIndex, path);
    m_lineEdit->setText(path);
    Q_EMIT valueChanged(m_varIndex, path);
}

void buildFileChooser(FormSession &session, const Element *element, QLayout *parent)
{
    auto *chooser = new MTextFile;

    chooser->setVarIndex(bindVariable(session, element));
    MEnvVar *store = &session.store();

    if (const OptText filter = session.attribute(element, "filter"); hasText(filter))
        chooser->setFilter(*filter);
    if (const OptText mode = session.attribute(element, "mode"); hasText(mode))
        chooser->setMode(*mode);

    if (store) {
        QObject::connect(chooser, &MTextFile::valueChanged, store, &MEnvVar::updateVal);
        QObject::connect(chooser, &MTextFile::valueDecoded, store, &MEnvVar::takeDecoded);
    }

    const OptText path = startValue(session, element);
    chooser->setInitialText(path);

    applySizeAttributes(session, element, chooser);
    if (parent)
        parent->addWidget(chooser);
}

void reloadFileChooser(FormSession &session, const Element *element, QWidget *widget)
{
    if (auto *box = qobject_cast<MTextFile *>(widget))
        box->setInitialText(startValue(session, element));
}
