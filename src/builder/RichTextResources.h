#pragma once

#include <QHash>
#include <QList>
#include <QTextDocument>
#include <QUrl>
#include <QVariant>

class QLabel;

// Rich text names pictures and style sheets by path (<img src="...">), and Qt
// reads such a path itself, whatever it is: a FIFO hangs the window, /dev/zero
// fills its memory. Here a resource is read only from a regular file of bounded
// size or from a data: URL; a picture that cannot be read that way shows as
// Qt's broken-picture icon, a style sheet as none.
QVariant loadRichTextResource(int type, const QUrl &name);

// Pixels all the pictures of one document may decode to (64 MB at 4 bytes each).
inline constexpr qint64 kRichTextMaxPixels = 16 * 1024 * 1024;

// The pictures of one document. Each file is decoded once, however many names
// lead to it (pic.png?1, ./pic.png, a link), and all of them together to at most
// kRichTextMaxPixels: past that, the broken-picture icon.
class RichTextPictures
{
public:
    QVariant load(const QUrl &name);

private:
    QHash<QByteArray, QVariant> m_loaded;  // by file and modification time, or data URL
    qint64 m_pixels = 0;
};

// A document whose resources follow these rules.
class SafeTextDocument : public QTextDocument
{
    Q_OBJECT
public:
    using QTextDocument::QTextDocument;

    struct Loaded
    {
        int type;
        QUrl name;
        QVariant value;
    };
    // Every resource the document asked for so far.
    const QList<Loaded> &loaded() const { return m_loaded; }
    RichTextPictures &pictures() { return m_pictures; }

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    QList<Loaded> m_loaded;
    RichTextPictures m_pictures;
};

// A label's document cannot be given a loader of its own: a label that shows rich
// text is handed every resource its text names, read by the rule above, before it
// lays itself out for the first time.
void guardLabelResources(QLabel *label);

// Guards every label of the program as it joins a window. Called once, at start-up.
void installRichTextGuard();
