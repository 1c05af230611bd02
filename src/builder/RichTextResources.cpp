#include "builder/RichTextResources.h"

#include "markup/LosslessText.h"
#include "widgets/ImageFile.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QEvent>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QTextBlock>

#include <cmath>
#include <optional>
#include <sys/stat.h>

namespace {

const char kGuardedProperty[] = "kivResourcesGuarded";

QImage brokenPicture()
{
    static const QImage picture = [] {
        QImage icon(QStringLiteral(":/qt-project.org/styles/commonstyle/images/file-16.png"));
        if (icon.isNull()) {
            icon = QImage(16, 16, QImage::Format_ARGB32);
            icon.fill(Qt::transparent);
        }
        return icon;
    }();
    return picture;
}

std::optional<QByteArray> dataUrlPayload(const QUrl &name)
{
    const QByteArray dataPart = name.path(QUrl::FullyEncoded).toLatin1();
    const qsizetype comma = dataPart.indexOf(',');
    if (comma < 0)
        return std::nullopt;
    const QByteArray body = QByteArray::fromPercentEncoding(dataPart.mid(comma + 1));
    return dataPart.left(comma).toLower().endsWith(";base64") ? QByteArray::fromBase64(body) : body;
}

// Qt takes a name without a scheme for a path relative to the current directory.
std::optional<QByteArray> localPath(const QUrl &name)
{
    QUrl url = name;
    if (url.scheme().isEmpty())
        url.setScheme(QStringLiteral("file"));
    if (!url.isLocalFile())
        return std::nullopt;
    return bytesFromText(url.toLocalFile());
}

std::optional<QByteArray> resourceBytes(const QUrl &name)
{
    if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
        return dataUrlPayload(name);
    const std::optional<QByteArray> path = localPath(name);
    return path ? readRegularFile(*path, kMaxImageFileBytes) : std::nullopt;
}

// The same file, as it is now: another name for it, or a query after its path,
// leads to the same key; a file rewritten in place to a new key.
std::optional<QByteArray> fileKey(const QByteArray &path)
{
    struct stat st {};
    if (path.contains('\0') || ::stat(path.constData(), &st) != 0)
        return std::nullopt;
    return QByteArray::number(qulonglong(st.st_dev)) + ':' + QByteArray::number(qulonglong(st.st_ino)) + ':'
           + QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.' + QByteArray::number(qlonglong(st.st_mtim.tv_nsec))
           + ':' + QByteArray::number(qlonglong(st.st_size));
}

// Drawn as a pixmap: kept as one, so that the names sharing it share its pixels
// instead of each converting the picture again.
QVariant shownPicture(const QImage &picture)
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QPixmap::fromImage(picture);
    return picture;
}

class LabelGuard : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A label lays itself out once it is shown or sized in a layout, which
        // comes after it joins a parent and is polished.
        switch (event->type()) {
        case QEvent::ParentChange:
        case QEvent::Polish:
        case QEvent::Show:
            if (auto *label = qobject_cast<QLabel *>(watched))
                guardLabelResources(label);
            break;
        default:
            break;
        }
        return false;
    }
};

} // namespace

QVariant loadRichTextResource(int type, const QUrl &name)
{
    const std::optional<QByteArray> bytes = resourceBytes(name);
    switch (type) {
    case QTextDocument::ImageResource: {
        // Never a null picture: Qt would then open the path itself.
        const QImage picture = bytes ? QImage::fromData(*bytes) : QImage();
        return picture.isNull() ? brokenPicture() : picture;
    }
    case QTextDocument::StyleSheetResource:
        return bytes ? textFromBytes(*bytes) : QString(QLatin1String(""));
    default:
        return bytes ? *bytes : QByteArray("");
    }
}

QVariant RichTextPictures::load(const QUrl &name)
{
    const bool data = name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0;
    const std::optional<QByteArray> path = data ? std::nullopt : localPath(name);
    const std::optional<QByteArray> key = data ? std::optional(name.toEncoded()) : path ? fileKey(*path) : std::nullopt;
    if (!key)
        return shownPicture(brokenPicture());
    if (const auto known = m_loaded.constFind(*key); known != m_loaded.constEnd())
        return *known;

    QImage picture;
    if (const std::optional<QByteArray> bytes = resourceBytes(name)) {
        QBuffer buffer;
        buffer.setData(*bytes);
        QImageReader reader(&buffer);
        // The size from the file's header, before anything is decoded.
        const QSize size = reader.size();
        if (!size.isValid() || qint64(size.width()) * size.height() <= kRichTextMaxPixels - m_pixels)
            picture = reader.read();
    }
    const qint64 pixels = qint64(picture.width()) * picture.height();
    if (picture.isNull() || pixels > kRichTextMaxPixels - m_pixels)
        picture = brokenPicture();
    else
        m_pixels += pixels;
    const QVariant value = shownPicture(picture);
    m_loaded.insert(*key, value);
    return value;
}

QVariant SafeTextDocument::loadResource(int type, const QUrl &name)
{
    const QVariant value = type == ImageResource ? m_pictures.load(name) : loadRichTextResource(type, name);
    // Kept, so that a picture drawn many times is read once.
    addResource(type, name, value);
    m_loaded.append({type, name, value});
    return value;
}

void guardLabelResources(QLabel *label)
{
    // A label creates its document when it is given rich text, and fills it only
    // when it lays itself out.
    QTextDocument *doc = label->findChild<QTextDocument *>();
    if (!doc || doc->property(kGuardedProperty).toBool())
        return;
    doc->setProperty(kGuardedProperty, true);
    const Qt::TextFormat format = label->textFormat();
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(label->text())))
        return;

    // Laying the text out in a document of ours finds every resource it names.
    SafeTextDocument probe;
    probe.setDefaultFont(label->font());
    if (format == Qt::MarkdownText)
        probe.setMarkdown(label->text());
    else
        probe.setHtml(label->text());
    probe.documentLayout()->documentSize();
    // A picture given its size is read only when it is drawn: ask for each now.
    for (QTextBlock block = probe.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat())
                probe.resource(QTextDocument::ImageResource, QUrl::fromEncoded(format.toImageFormat().name().toUtf8()));
        }
    }

    // On a high-density screen Qt draws name@2x.png instead of name.png when
    // that file exists.
    const int scale = int(std::ceil(qApp ? qApp->devicePixelRatio() : 1.0));
    for (const SafeTextDocument::Loaded &r : probe.loaded()) {
        doc->addResource(r.type, r.name, r.value);
        const std::optional<QByteArray> path = r.type == QTextDocument::ImageResource ? localPath(r.name) : std::nullopt;
        for (int n = 2; path && n <= scale; ++n) {
            QString scaled = textFromBytes(*path);
            const qsizetype dot = scaled.lastIndexOf(QLatin1Char('.'));
            scaled.insert(dot < 0 ? scaled.size() : dot, QStringLiteral("@%1x").arg(n));
            doc->addResource(r.type, QUrl(scaled), probe.pictures().load(QUrl::fromLocalFile(scaled)));
        }
    }
}

void installRichTextGuard()
{
    // The application holds the guard: one per process, like the labels it watches.
    if (!qApp || qApp->findChild<QObject *>(QStringLiteral("kiv-rich-text-guard"), Qt::FindDirectChildrenOnly))
        return;
    auto *guard = new LabelGuard(qApp);
    guard->setObjectName(QStringLiteral("kiv-rich-text-guard"));
    qApp->installEventFilter(guard);
}
