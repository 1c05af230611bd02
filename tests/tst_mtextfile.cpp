#include "FormFixture.h"
#include "builder/Builders.h"
#include "markup/LosslessText.h"
#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/MTextFile.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>
#include <memory>

namespace {

// Answers the chooser's dialog once trovaFile has shown it, the way a person
// would. Anything left open afterwards (a message box about a bad choice, or a
// dialog the answer did not close) is closed and counted as stray, so a wrong
// answer fails the test instead of hanging it.
class DialogAnswer : public QObject
{
public:
    DialogAnswer(QFileDialog *dialog, std::function<void(QFileDialog *)> answer)
        : m_dialog(dialog), m_answer(std::move(answer))
    {
        connect(&m_poll, &QTimer::timeout, this, &DialogAnswer::poll);
        m_poll.start(10);
    }

    bool answered() const { return m_answered; }
    bool stray() const { return m_stray; }

private:
    void poll()
    {
        if (!m_dialog)
            return;
        QWidget *modal = QApplication::activeModalWidget();
        if (m_answered || m_answering) {
            if (modal && modal != m_dialog) {
                m_stray = true;
                modal->close();
            } else if (m_answered && m_dialog->isVisible()) {
                m_stray = true;
                m_dialog->reject();
            }
            return;
        }
        if (!m_scheduled && m_dialog->isVisible()) {
            m_scheduled = true;
            // Answered from a fresh timer so that this one keeps watching while
            // the answer runs (a failed accept opens a nested message box).
            // While it runs (an answer may wait for the dialog's directory to
            // load) the dialog itself is not stray yet.
            QTimer::singleShot(0, this, [this] {
                m_answering = true;
                m_answer(m_dialog);
                m_answering = false;
                m_answered = true;
            });
        }
    }

    QPointer<QFileDialog> m_dialog;
    std::function<void(QFileDialog *)> m_answer;
    QTimer m_poll;
    bool m_scheduled = false;
    bool m_answering = false;
    bool m_answered = false;
    bool m_stray = false;
};

// Types a name into the dialog's own name box, as a person would.
void typeName(QFileDialog *dialog, const QString &name)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->clear();
    QTest::keyClicks(edit, name);
}

} // namespace

class TestMTextFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void wrapperAndDefaults();
    void filterAndMode_data();
    void filterAndMode();
    void initialPath();
    void typingReachesVariable();
    void pickedFileReachesVariable();
    void cancelChangesNothing();
    void directoryCarriesOver();
    void startsAtTheTypedPath_data();
    void startsAtTheTypedPath();
    void saveModeTakesNewName();
    void directoryMode();
    void sizeAttributesOnWholeChooser();

private:
    MTextFile *build(const QByteArray &markup);
    QString makeFile(const QString &relative);

    kivtest::LoneWidget<MTextFile> m_w;
};

void TestMTextFile::init()
{
    QVERIFY(m_w.init());
}

void TestMTextFile::cleanup() { m_w.cleanup(); }

MTextFile *TestMTextFile::build(const QByteArray &markup) { return m_w.build(markup, buildFileChooser); }

QString TestMTextFile::makeFile(const QString &relative)
{
    const QString path = m_w.dir->filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    return path;
}

void TestMTextFile::wrapperAndDefaults()
{
    MTextFile chooser;
    QCOMPARE(chooser.browseButton()->text(), QStringLiteral("..."));
    QCOMPARE(chooser.lineEdit()->parentWidget(), &chooser);
    QCOMPARE(chooser.browseButton()->parentWidget(), &chooser);

    // One dialog for the chooser's life: a window of its own, gone with the chooser.
    QPointer<QFileDialog> dialog = chooser.dialog();
    QCOMPARE(chooser.dialog(), dialog.data());
    QVERIFY(dialog->isWindow());
    QCOMPARE(dialog->viewMode(), QFileDialog::List);
    auto *other = new MTextFile;
    dialog = other->dialog();
    delete other;
    QVERIFY(dialog.isNull());
}

void TestMTextFile::filterAndMode_data()
{
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<bool>("dirsOnly");
    QTest::addColumn<QString>("acceptLabel"); // empty: the dialog's own

    const QString all = QStringLiteral("All files (*)");
    QTest::newRow("none") << QByteArray() << all << int(QFileDialog::ExistingFile) << false << QString();
    QTest::newRow("filter") << QByteArray("filter=\"MC File (*.mc)\"") << QStringLiteral("MC File (*.mc)")
                            << int(QFileDialog::ExistingFile) << false << QString();
    QTest::newRow("empty filter") << QByteArray("filter=\"\" mode=\"\"") << all
                                  << int(QFileDialog::ExistingFile) << false << QString();
    QTest::newRow("open") << QByteArray("mode=\"open\"") << all << int(QFileDialog::ExistingFile) << false
                          << QStringLiteral("Open");
    QTest::newRow("save") << QByteArray("mode=\"save\"") << all << int(QFileDialog::AnyFile) << false
                          << QStringLiteral("Save");
    QTest::newRow("dir") << QByteArray("mode=\"dir\"") << all << int(QFileDialog::Directory) << true
                         << QString();
    QTest::newRow("capital") << QByteArray("mode=\"Save\"") << all << int(QFileDialog::ExistingFile)
                             << false << QString();
}

void TestMTextFile::filterAndMode()
{
    QFETCH(QByteArray, attributes);
    QFETCH(QString, filter);
    QFETCH(int, fileMode);
    QFETCH(bool, dirsOnly);
    QFETCH(QString, acceptLabel);

    QFileDialog plain;
    plain.setOption(QFileDialog::DontUseNativeDialog);
    plain.setFileMode(QFileDialog::FileMode(fileMode));
    const QString ownLabel = plain.labelText(QFileDialog::Accept);

    MTextFile *chooser = build("<file " + attributes + "/>");
    QVERIFY(chooser);
    QFileDialog *dialog = chooser->dialog();
    QCOMPARE(dialog->nameFilters(), QStringList{filter});
    QCOMPARE(int(dialog->fileMode()), fileMode);
    QCOMPARE(dialog->testOption(QFileDialog::ShowDirsOnly), dirsOnly);
    QCOMPARE(dialog->labelText(QFileDialog::Accept), acceptLabel.isEmpty() ? ownLabel : acceptLabel);
    // Saving still opens: no overwrite question for a file the script will write.
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);

    // Settings made after the dialog exists reach it as well.
    MTextFile late;
    QFileDialog *lateDialog = late.dialog();
    late.setFilter(filter.toUtf8());
    if (const qsizetype at = attributes.indexOf("mode=\""); at >= 0)
        late.setMode(attributes.mid(at + 6, attributes.indexOf('"', at + 6) - at - 6));
    QCOMPARE(lateDialog->nameFilters(), QStringList{filter});
    QCOMPARE(int(lateDialog->fileMode()), fileMode);
}

void TestMTextFile::initialPath()
{
    MTextFile *chooser = build("<file var=\"F\">echo '  /tmp/a b.txt  '</file>");
    QVERIFY(chooser);
    QCOMPARE(chooser->lineEdit()->text(), QStringLiteral("/tmp/a b.txt"));
    QCOMPARE(m_w.store().valueOf(chooser->varIndex()), QByteArray("/tmp/a b.txt"));

    // A command printing nothing falls back to "text"; with neither it stays empty.
    chooser = build("<file var=\"G\" text=\"/etc/hosts\">true</file>");
    QCOMPARE(chooser->lineEdit()->text(), QStringLiteral("/etc/hosts"));
    QCOMPARE(m_w.store().valueOf(chooser->varIndex()), QByteArray("/etc/hosts"));
    chooser = build("<file var=\"H\"/>");
    QCOMPARE(chooser->lineEdit()->text(), QString());
    QCOMPARE(m_w.store().valueOf(chooser->varIndex()), QByteArray(""));

    // The code attribute serves when there is no content; UTF-8 stays intact.
    chooser = build("<file var=\"I\" code=\"printf '/tmp/gr\\303\\274n'\"/>");
    QCOMPARE(chooser->lineEdit()->text(), QString::fromUtf8("/tmp/grün"));
    QCOMPARE(m_w.store().valueOf(chooser->varIndex()), QByteArray("/tmp/gr\xc3\xbcn"));
    QCOMPARE(m_w.store().count(), 4);
}

void TestMTextFile::typingReachesVariable()
{
    MTextFile *chooser = build("<file var=\"F\"/>");
    QVERIFY(chooser);
    QTest::keyClicks(chooser->lineEdit(), QStringLiteral("/x"));
    QCOMPARE(m_w.store().valueOf(chooser->varIndex()), QByteArray("/x"));
    QCOMPARE(m_w.run(QByteArray("printf %s \"$F\"")), QByteArray("/x"));

    // Unbound: the text changes, the store does not.
    chooser = build("<file var=\"\"/>");
    QCOMPARE(chooser->varIndex(), -1);
    QSignalSpy spy(chooser, &MTextFile::valueChanged);
    QTest::keyClicks(chooser->lineEdit(), QStringLiteral("y"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), -1);
    QCOMPARE(m_w.store().count(), 1);
    QCOMPARE(m_w.store().valueOf(0), QByteArray("/x"));
}

void TestMTextFile::pickedFileReachesVariable()
{
    const QString file = makeFile(QStringLiteral("picked.txt"));
    QVERIFY(!file.isEmpty());
    MTextFile *chooser = build("<file var=\"F\"/>");
    QVERIFY(chooser);
    DialogAnswer answer(chooser->dialog(), [&](QFileDialog *d) {
        d->setDirectory(m_w.dir->path());
        typeName(d, QStringLiteral("picked.txt"));
        static_cast<QDialog *>(d)->accept();
    });
    // The real button opens it.
    chooser->browseButton()->click();
    QVERIFY(answer.answered());
    QVERIFY(!answer.stray());
    QCOMPARE(chooser->lineEdit()->text(), file);
    QCOMPARE(m_w.store().valueOf(chooser->varIndex()), file.toUtf8());
}

void TestMTextFile::cancelChangesNothing()
{
    MTextFile *chooser = build("<file var=\"F\"/>");
    QVERIFY(chooser);
    chooser->lineEdit()->setText(QStringLiteral("typed/earlier"));
    QSignalSpy spy(chooser, &MTextFile::valueChanged);
    DialogAnswer answer(chooser->dialog(), [&](QFileDialog *d) {
        d->setDirectory(m_w.dir->path());
        typeName(d, QFileInfo(makeFile(QStringLiteral("other.txt"))).fileName());
        d->reject();
    });
    chooser->trovaFile();
    QVERIFY(answer.answered());
    QVERIFY(!answer.stray());
    QCOMPARE(chooser->lineEdit()->text(), QStringLiteral("typed/earlier"));
    QCOMPARE(m_w.store().valueOf(chooser->varIndex()), QByteArray("typed/earlier"));
    QCOMPARE(spy.count(), 0);
}

void TestMTextFile::directoryCarriesOver()
{
    const QString file = makeFile(QStringLiteral("sub/deeper/f.txt"));
    QVERIFY(!file.isEmpty());
    const QString deeper = QFileInfo(file).absolutePath();
    MTextFile *chooser = build("<file var=\"F\"/>");
    QVERIFY(chooser);
    {
        DialogAnswer answer(chooser->dialog(), [&](QFileDialog *d) {
            d->setDirectory(deeper);
            typeName(d, QStringLiteral("f.txt"));
            static_cast<QDialog *>(d)->accept();
        });
        chooser->trovaFile();
        QVERIFY(answer.answered() && !answer.stray());
    }
    QCOMPARE(chooser->lineEdit()->text(), file);

    QString seen;
    DialogAnswer again(chooser->dialog(), [&](QFileDialog *d) {
        seen = d->directory().absolutePath();
        d->reject();
    });
    chooser->trovaFile();
    QVERIFY(again.answered() && !again.stray());
    QCOMPARE(seen, deeper);
    QCOMPARE(chooser->lineEdit()->text(), file);
}

void TestMTextFile::startsAtTheTypedPath_data()
{
    QTest::addColumn<QByteArray>("typed");  // "@" stands for the test's directory
    QTest::addColumn<QString>("opensAt");   // within that directory
    QTest::addColumn<QString>("name");      // in the dialog's name box
    QTest::newRow("a file without a dot") << QByteArray("@/docs/README") << QStringLiteral("docs") << QStringLiteral("README");
    QTest::newRow("relative: from kiv's directory") << QByteArray("docs/new.txt") << QStringLiteral("docs")
                                                    << QStringLiteral("new.txt");
    QTest::newRow("a folder, or the nearest that exists") << QByteArray("@/docs/no/such/x") << QStringLiteral("docs") << QString();
    QTest::newRow("empty: where it was") << QByteArray() << QStringLiteral("before") << QString();
    QTest::newRow("not UTF-8: where it was") << QByteArray("@/docs/\xff/x") << QStringLiteral("before") << QString();
}

void TestMTextFile::startsAtTheTypedPath()
{
    QFETCH(QByteArray, typed);
    QFETCH(QString, opensAt);
    QFETCH(QString, name);
    for (const char *f : {"docs/README", "docs/notes.txt", "before/x"})
        QVERIFY(!makeFile(QString::fromLatin1(f)).isEmpty());
    const QString home = QDir::currentPath();
    QDir::setCurrent(m_w.dir->path());
    const auto back = qScopeGuard([&] { QDir::setCurrent(home); });

    MTextFile *chooser = build("<file/>");
    chooser->dialog()->setDirectory(m_w.dir->filePath(QStringLiteral("before")));
    chooser->lineEdit()->setText(textFromBytes(typed.replace('@', QFile::encodeName(m_w.dir->path()))));
    DialogAnswer answer(chooser->dialog(), [&](QFileDialog *d) {
        QCOMPARE(QDir(m_w.dir->path()).relativeFilePath(d->directory().absolutePath()), opensAt);
        QCOMPARE(d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text(), name);
        // The default filter offers README too.
        auto *view = d->findChild<QListView *>(QStringLiteral("listView"));
        QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), opensAt == QLatin1String("docs") ? 2 : 1);
        d->reject();
    });
    chooser->trovaFile();
    QVERIFY(answer.answered() && !answer.stray());
}

void TestMTextFile::saveModeTakesNewName()
{
    MTextFile *chooser = build("<file var=\"OUT\" mode=\"save\"/>");
    QVERIFY(chooser);
    DialogAnswer answer(chooser->dialog(), [&](QFileDialog *d) {
        d->setDirectory(m_w.dir->path());
        typeName(d, QStringLiteral("new file.txt"));
        static_cast<QDialog *>(d)->accept();
    });
    chooser->trovaFile();
    QVERIFY(answer.answered() && !answer.stray());
    const QString expected = m_w.dir->filePath(QStringLiteral("new file.txt"));
    QVERIFY(!QFile::exists(expected));
    QCOMPARE(chooser->lineEdit()->text(), expected);
    QCOMPARE(m_w.run(QByteArray("printf %s \"$OUT\"")), expected.toUtf8());
}

void TestMTextFile::directoryMode()
{
    const QString file = makeFile(QStringLiteral("dirs/inner/x.txt"));
    QVERIFY(!file.isEmpty());
    const QString inner = QFileInfo(file).absolutePath();
    MTextFile *chooser = build("<file var=\"D\" mode=\"d\"/>");
    QVERIFY(chooser);
    DialogAnswer answer(chooser->dialog(), [&](QFileDialog *d) {
        d->setDirectory(inner);
        static_cast<QDialog *>(d)->accept();
    });
    chooser->trovaFile();
    QVERIFY(answer.answered() && !answer.stray());
    QCOMPARE(chooser->lineEdit()->text(), inner);
    QCOMPARE(m_w.store().valueOf(chooser->varIndex()), inner.toUtf8());
}

void TestMTextFile::sizeAttributesOnWholeChooser()
{
    MTextFile *chooser = build("<file width=\"321\" height=\"45\"/>");
    QVERIFY(chooser);
    QCOMPARE(chooser->minimumSize(), QSize(321, 45));
    QCOMPARE(chooser->lineEdit()->minimumSize(), QSize(0, 0));
    QCOMPARE(chooser->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
}

QTEST_MAIN(TestMTextFile)
#include "tst_mtextfile.moc"
