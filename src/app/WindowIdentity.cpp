#include "app/WindowIdentity.h"

#include "widgets/ImageFile.h"
#include "widgets/WidgetSetup.h"

#include <QApplication>
#include <QPixmap>

void setApplicationIdentity()
{
    // The class half of WM_CLASS comes from here, whatever name kiv was started by.
    QCoreApplication::setApplicationName(QStringLiteral("kiv"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kiv"));
    QApplication::setWindowIcon(kivIcon());
}

QIcon kivIcon()
{
    const QImage installed = loadImageFile(defaultIconPath());
    if (!installed.isNull())
        return QIcon(QPixmap::fromImage(installed));
    return QIcon(QStringLiteral(":/kiv/icona.png"));
}

QString formTitle(FormSession &session, const Element *root, const QByteArray &path)
{
    if (root && root->name() != "tab") {
        if (const OptText title = session.attribute(root, "title"); hasText(title))
            return toQString(title);
    }
    QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    if (name.endsWith(".mc") && name.size() > 3)
        name.chop(3);
    return textFromBytes(name);
}
