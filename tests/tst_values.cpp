#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/FormSession.h"
#include "shell/MEnvVar.h"

#include <QTemporaryDir>
#include <QTest>

class TestValues : public QObject
{
    Q_OBJECT
    FormSession *session = nullptr;

    static const Element *rootOf(const std::unique_ptr<Document> &doc) { return doc->root(); }

private Q_SLOTS:
    void init()
    {
        session = new FormSession;
    }
    void cleanup()
    {
        delete session;
    }

    void shouldReadRawAndEvaluatedValues_data()
    {
        QTest::addColumn<QByteArray>("mc");
        QTest::addColumn<OptText>("raw");
        QTest::addColumn<OptText>("evaluated");
        QTest::newRow("content") << QByteArray("<label>echo hi</label>") << OptText("echo hi") << OptText("hi");
        QTest::newRow("code") << QByteArray("<label code=\"echo hi\"/>") << OptText("echo hi") << OptText("hi");
        QTest::newRow("content wins") << QByteArray("<label code=\"echo one\">echo two</label>")
                                      << OptText("echo two") << OptText("two");
        QTest::newRow("empty content") << QByteArray("<x></x>") << OptText("") << OptText("");
        QTest::newRow("no content") << QByteArray("<x/>") << OptText() << OptText();
        QTest::newRow("code child") << QByteArray("<x><code>echo inner</code></x>")
                                    << OptText("echo inner") << OptText("inner");
    }
    void shouldReadRawAndEvaluatedValues()
    {
        QFETCH(QByteArray, mc);
        QFETCH(OptText, raw);
        QFETCH(OptText, evaluated);
        auto doc = parseDocumentText(mc);
        QCOMPARE(rootOf(doc)->value(), raw);
        QCOMPARE(session->value(rootOf(doc)), evaluated);
    }

    void shouldFindTheFirstAttributeOrChild()
    {
        auto doc = parseDocumentText("<text var=\"A\" var=\"B\" cmd=\"echo no\"><var>echo C</var>"
                                     "<title>echo  T </title></text>");
        const Element *e = rootOf(doc);
        QCOMPARE(session->attribute(e, "var"), OptText("A"));
        QCOMPARE(session->attribute(e, "cmd"), OptText("echo no"));  // attributes never run
        QCOMPARE(session->attribute(e, "title"), OptText("T"));      // child elements do
        QCOMPARE(e->attribute("title"), OptText("echo  T "));
        QCOMPARE(session->attribute(e, "missing"), OptText());
        QCOMPARE(e->attribute("VAR"), OptText());

        auto child = parseDocumentText("<text><var>echo B</var></text>");
        QCOMPARE(session->attribute(rootOf(child), "var"), OptText("B"));
    }

    void shouldRunEachEvaluationAnew()
    {
        QTemporaryDir dir;
        const QByteArray log = QFile::encodeName(dir.filePath(QStringLiteral("log")));
        auto doc = parseDocumentText("<x>echo run >> '" + log + "'; cat '" + log + "' | wc -l</x>");
        QCOMPARE(session->value(rootOf(doc)), OptText("1"));
        QCOMPARE(session->value(rootOf(doc)), OptText("2"));
        QCOMPARE(rootOf(doc)->value()->left(8), QByteArray("echo run"));
    }

    void shouldSeeCurrentVariables()
    {
        const int i = session->store().addVariable("WHO", "");
        session->store().updateVal(i, QStringLiteral("World"));
        auto doc = parseDocumentText("<x>echo \"Hello $WHO\"</x>");
        QCOMPARE(session->value(rootOf(doc)), OptText("Hello World"));
    }

    void shouldTrimBlanksOnly_data()
    {
        QTest::addColumn<OptText>("text");
        QTest::addColumn<OptText>("trimmed");
        QTest::newRow("null") << OptText() << OptText();
        QTest::newRow("empty") << OptText("") << OptText("");
        QTest::newRow("both ends") << OptText(" ab \n") << OptText("ab");
        QTest::newRow("number line") << OptText("5\n") << OptText("5");
        QTest::newRow("single newline") << OptText("\n") << OptText("");
        QTest::newRow("single blank") << OptText(" ") << OptText("");
        QTest::newRow("only blanks") << OptText(" \t\n \n") << OptText("");
        QTest::newRow("one char") << OptText("x") << OptText("x");
        QTest::newRow("carriage return kept") << OptText("a\r\n") << OptText("a\r");
        QTest::newRow("inner lines kept") << OptText("\n a\n\nb \n") << OptText("a\n\nb");
    }
    void shouldTrimBlanksOnly()
    {
        QFETCH(OptText, text);
        QFETCH(OptText, trimmed);
        QCOMPARE(trimWhitespace(text), trimmed);
    }
};

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
