// Shared by the widget tests: a form built from mc text and driven as a user would.
#pragma once

#include "builder/AccessibleNames.h"
#include "builder/Builders.h"
#include "builder/FormRefresh.h"
#include "builder/TextLog.h"
#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/CommandQueue.h"
#include "shell/FormSession.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/MButton.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>
#include <memory>
#include <sys/types.h>

namespace kivtest {

// Waits until no command of session runs or waits (a minute at most): commands
// run from the event loop, after the click that asked for them.
inline bool settled(const FormSession &session)
{
    return QTest::qWaitFor([&] { return !session.queue().running() && !session.queue().queued(); }, 60000);
}

// A fresh form session, two text logs on its output handler and
// a window that receives the built widgets. Commands run in a private directory.
struct Form
{
    FormSession session;
    MEnvVar &store = session.store();
    MOHandler &handler = session.output();
    TextLogView log1, log2;
    QTemporaryDir dir;
    QString home = QDir::currentPath();
    QWidget window;
    std::unique_ptr<Document> doc;

    Form()
    {
        for (TextLogView *log : {&log1, &log2})
            log->setHandler(&handler);
        QDir::setCurrent(dir.path());
    }
    ~Form()
    {
        QDir::setCurrent(home);
    }
    // Builds the children of the mc text's root into the window and shows it.
    bool build(const QByteArray &mc)
    {
        doc = parseDocumentText(mc);
        auto *layout = new QVBoxLayout(&window);
        for (int i = 0; doc->root() && i < doc->root()->childCount(); ++i)
            buildElement(session, doc->root()->child(i), layout);
        nameWidgetsByLabels(layout, store);
        FormRefresh::of(session).start();
        window.show();
        return doc->root() && QTest::qWaitForWindowExposed(&window);
    }
    template <class T> T *find(int i = 0) const
    {
        const auto all = window.findChildren<T *>();
        return i < all.size() ? all[i] : nullptr;
    }
    QByteArray var(int i) const { return store.valueOf(i); }
    // Clicks button i as a user would and returns what the first log shows once
    // its command has ended.
    QString click(int i = 0)
    {
        if (MButton *button = find<MButton>(i))
            QTest::mouseClick(button->pushButton(), Qt::LeftButton);
        settle();
        return log1.toPlainText();
    }
    // Waits until no command of the form runs or waits (a minute at most).
    bool settle() const { return settled(session); }
    QString file(const char *name) const
    {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

// QTest::keyClicks only knows ASCII: other characters arrive as key events that
// carry just their text, as an input method delivers them.
inline void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Runs check from the event loop that a click waits in while its command runs. A
// failed check stops the command rather than leave the test waiting for its end.
inline void whileRunning(FormSession &session, std::function<void()> check)
{
    QTimer::singleShot(0, &session, [&session, check = std::move(check)] {
        check();
        if (QTest::currentTestFailed())
            session.runner().stopRunning();
    });
}

inline pid_t readPid(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? pid_t(f.readAll().trimmed().toInt()) : 0;
}

// Alive and not a zombie waiting for a parent that may never reap it.
inline bool processAlive(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

} // namespace kivtest

namespace kivtest {

// One widget built alone from mc text into a holder, with a fresh session and a
// private directory: init and cleanup of a test class call the two of them.
template <class W> struct LoneWidget
{
    std::unique_ptr<FormSession> session;
    std::unique_ptr<QWidget> holder;
    std::unique_ptr<Document> doc;
    std::unique_ptr<QTemporaryDir> dir;

    bool init()
    {
        session = std::make_unique<FormSession>();
        dir = std::make_unique<QTemporaryDir>();
        return dir->isValid();
    }
    void cleanup()
    {
        holder.reset();
        doc.reset();
        session.reset();
        dir.reset();
    }
    W *build(const QByteArray &markup, void (*builder)(FormSession &, const Element *, QLayout *))
    {
        doc = parseDocumentText(markup);
        if (!doc->root())
            return nullptr;
        holder = std::make_unique<QWidget>();
        builder(*session, doc->root(), new QVBoxLayout(holder.get()));
        return holder->findChild<W *>();
    }
    MEnvVar &store() const { return session->store(); }
    MOHandler &handler() const { return session->output(); }
    bool settle() const { return settled(*session); }
    // A command run now with the form's variables.
    QByteArray run(const QByteArray &command) const { return session->runner().run(command); }
};

} // namespace kivtest
