#pragma once

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

// A document whose resources follow that rule.
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

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    QList<Loaded> m_loaded;
};

// A label's document cannot be given a loader of its own: a label that shows rich
// text is handed every resource its text names, read by the rule above, before it
// lays itself out for the first time.
void guardLabelResources(QLabel *label);

// Guards every label of the program as it joins a window. Called once, at start-up.
void installRichTextGuard();
