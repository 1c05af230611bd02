// Forms that change once shown: refresh, every, enabled and visible, and the one
// queue their reads wait in.
#include "FormFixture.h"
#include "builder/FormRefresh.h"
#include "shell/CommandQueue.h"
#include "widgets/MButton.h"
#include "widgets/MTextEdit.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using kivtest::Form;

class TestRefresh : public QObject
{
    Q_OBJECT

    static QString labelText(const Form &form, int i = 0)
    {
        const auto labels = form.window.findChildren<QLabel *>();
        return i < labels.size() ? labels[i]->text() : QStringLiteral("<none>");
    }

private Q_SLOTS:
    // Each row: a form, then what a user does, then what the first label shows.
    void shouldReadAgain_data()
    {
        QTest::addColumn<QByteArray>("mc");
        QTest::addColumn<QString>("action"); // click, type, wait
        QTest::addColumn<QString>("shown");
        QTest::newRow("button names a label by id")
            << QByteArray("<f><label id=\"l\">cat n 2>/dev/null || echo 0</label>"
                          "<button refresh=\"l\">echo 7 > n</button></f>")
            << "click" << "7";
        QTest::newRow("a value names a label")
            << QByteArray("<f><label id=\"l\">echo \"[$T]\"</label><text var=\"T\" refresh=\"l\"/></f>")
            << "type" << "[ab]";
        QTest::newRow("every reads at its interval")
            << QByteArray("<f><label every=\"0.1\">echo x >> runs; cat runs | wc -l</label></f>") << "wait" << "3";
        QTest::newRow("every reads a child element")
            << QByteArray("<f><label every=\"0.1\"><text>echo x >> runs; cat runs | wc -l</text></label></f>")
            << "wait" << "3";
        QTest::newRow("a chain back reads each once")
            << QByteArray("<f><label id=\"l\">echo r >> reads; cat reads | wc -l</label>"
                          "<text var=\"A\" refresh=\"B l\">echo \"a$B\"</text>"
                          "<text var=\"B\" refresh=\"A\">echo \"b$A\" | cut -c1-40</text></f>")
            << "type" << "2";
    }
    void shouldReadAgain()
    {
        QFETCH(QByteArray, mc);
        QFETCH(QString, action);
        QFETCH(QString, shown);
        Form form;
        QVERIFY(form.build(mc));
        if (action == QLatin1String("click")) {
            form.click();
        } else if (action == QLatin1String("type")) {
            QLineEdit *edit = form.find<MTextEdit>()->lineEdit();
            edit->clear();
            QTest::keyClicks(edit, QStringLiteral("ab"));
        }
        // Timed reads go on: a busy machine may pass a count between two looks.
        if (action == QLatin1String("wait"))
            QTRY_VERIFY_WITH_TIMEOUT(labelText(form).toInt() >= shown.toInt(), 30000);
        else
            QTRY_COMPARE_WITH_TIMEOUT(labelText(form), shown, 30000);
        QVERIFY(form.settle());
        if (action == QLatin1String("type"))
            QCOMPARE(labelText(form), shown); // and no more reads after it settled
    }

    // An open list would lose its place if the entries were put in again.
    void shouldKeepAComboBoxWhoseEntriesStayTheSame()
    {
        Form form;
        QVERIFY(form.build("<f><combobox var=\"C\" every=\"0.1\">echo x >> runs; printf 'a\\nb\\n'</combobox></f>"));
        QComboBox *combo = form.find<QComboBox>();
        combo->setCurrentIndex(1);
        QSignalSpy removed(combo->model(), &QAbstractItemModel::rowsRemoved);
        QTRY_VERIFY_WITH_TIMEOUT(QFile(form.dir.filePath(QStringLiteral("runs"))).size() >= 8, 30000);
        QCOMPARE(removed.count(), 0);
        QCOMPARE(form.var(0), QByteArray("b"));
    }

    void shouldTurnWidgetsOnAndOff_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("on");
        QTest::newRow("0") << QByteArray(" 0\n") << false;
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("empty") << QByteArray("") << true;
        QTest::newRow("other") << QByteArray("no") << true;
    }
    void shouldTurnWidgetsOnAndOff()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, on);
        Form form;
        QVERIFY(form.build("<f><text var=\"S\" refresh=\"go\"/><button id=\"go\" title=\"Go\">"
                           "<enabled>printf %s \"$S\"</enabled><visible>printf %s \"$S\"</visible></button>"
                           "<label visible=\"0\">echo hidden</label></f>"));
        QPushButton *go = form.find<MButton>()->pushButton();
        QVERIFY(!form.find<QLabel>()->isVisible());
        form.find<MTextEdit>()->lineEdit()->setText(QString::fromUtf8(value));
        QTRY_COMPARE_WITH_TIMEOUT(go->isEnabled(), on, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(go->isVisible(), on, 30000);
    }

    // Labels read together run in one bash, each command on its own: a syntax
    // error or an exit in one leaves the others' output where it belongs.
    void shouldShareOneBashAmongReadsDueTogether()
    {
        Form form;
        QVERIFY(form.build("<f><label every=\"0.2\">echo \"$$\"</label><label every=\"0.2\">echo x; done</label>"
                           "<label every=\"0.2\">echo gone; exit 3; echo no</label>"
                           "<label every=\"0.2\">printf '%s\\n' \"$$\" \"$PPID\"</label></f>"));
        const QString first = labelText(form, 0);
        QTRY_VERIFY_WITH_TIMEOUT(labelText(form, 3).startsWith(labelText(form, 0) + QLatin1Char('\n'))
                                     && labelText(form, 0) != first,
                                 30000);
        QCOMPARE(labelText(form, 1), QString());
        QCOMPARE(labelText(form, 2), QStringLiteral("gone"));
    }

    // Shared reads make way: a stop ends the one that runs, a click waits only for
    // it; the reads behind it run after all.
    void shouldLetSharedReadsMakeWay_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("order");
        QTest::newRow("stop") << "stop" << "a\nb\n";
        QTest::newRow("user command") << "click" << "a\nuser\nb\n";
    }
    void shouldLetSharedReadsMakeWay()
    {
        QFETCH(QString, action);
        QFETCH(QString, order);
        Form form;
        QVERIFY(form.build("<f><label id=\"a\">test -e go && echo a >> order && until test -e on; do sleep 0.05; done;"
                           " echo ay</label><label id=\"b\">test -e go && echo b >> order; echo bee</label>"
                           "<button>echo user >> order</button></f>"));
        const auto touch = [&](const char *name) {
            QFile file(form.dir.filePath(QString::fromUtf8(name)));
            return file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        };
        QVERIFY(touch("go") && touch("order"));
        FormRefresh::of(form.session).refresh("a b");
        QTRY_COMPARE_WITH_TIMEOUT(form.file("order"), QStringLiteral("a\n"), 30000);
        if (action == QLatin1String("stop")) {
            form.session.queue().stopRunning();
        } else {
            QTest::mouseClick(form.find<MButton>()->pushButton(), Qt::LeftButton);
            QVERIFY(touch("on"));
        }
        QVERIFY(form.settle());
        QCOMPARE(form.file("order"), order);
        QCOMPARE(labelText(form, 1), QStringLiteral("bee"));
    }

    void shouldRunUserCommandsAheadOfReads()
    {
        Form form;
        QVERIFY(form.build("<f><label id=\"a\">echo a >> order</label><label id=\"b\">echo b >> order</label>"
                           "<button>echo user >> order</button></f>"));
        QFile::remove(form.dir.filePath(QStringLiteral("order")));
        FormRefresh::of(form.session).refresh("a b");
        form.find<MButton>()->click();
        QVERIFY(form.settle());
        QCOMPARE(form.file("order"), QStringLiteral("user\na\nb\n"));
    }
};

QTEST_MAIN(TestRefresh)
#include "tst_refresh.moc"
