#include "FormFixture.h"
#include "widgets/MCheckBox.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

using kivtest::Form;

namespace {

// Clicks the box where a user would: on its indicator (the middle of a wide box
// can lie beyond its label and does nothing).
void toggle(QCheckBox *box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

} // namespace

class TestMCheckBox : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void label_data();
    void label();
    void togglingReachesCommands();
    void setVarIndexReportsUnchecked();
};

void TestMCheckBox::label_data()
{
    QTest::addColumn<QByteArray>("mc");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("runs");

    QTest::newRow("command output wins")
        << QByteArray("<f><checkbox var=\"C\" text=\"attr\">echo run >> runs; echo Word</checkbox></f>")
        << "Word" << "run\n";
    QTest::newRow("silent command falls back to text")
        << QByteArray("<f><checkbox var=\"C\" text=\"attr\">echo run >> runs</checkbox></f>") << "attr"
        << "run\n";
    QTest::newRow("nothing gives no label") << QByteArray("<f><checkbox var=\"C\"/></f>") << "" << "";
    QTest::newRow("content cannot check the box")
        << QByteArray("<f><checkbox var=\"C\">echo 1</checkbox></f>") << "1" << "";
}

void TestMCheckBox::label()
{
    QFETCH(QByteArray, mc);
    QFETCH(QString, label);
    QFETCH(QString, runs);
    Form form;
    QVERIFY(form.build(mc));
    MCheckBox *box = form.find<MCheckBox>();
    QCOMPARE(box->checkBox()->text(), label);
    QVERIFY(!box->checkBox()->isChecked());
    QVERIFY(!box->checkBox()->isTristate());
    QCOMPARE(form.store.count(), 1);
    QCOMPARE(form.var(0), QByteArray("0"));
    QCOMPARE(form.file("runs"), runs);
}

void TestMCheckBox::togglingReachesCommands()
{
    Form form;
    QVERIFY(form.build("<f><checkbox var=\"A\" text=\"a\"/><checkbox var=\"B\" text=\"b\"/>"
                       "<button>printf '%s%s' \"$A\" \"$B\"</button></f>"));
    QCOMPARE(form.click(), QStringLiteral("00"));
    QCheckBox *b = form.find<MCheckBox>(1)->checkBox();
    toggle(b);
    QCOMPARE(form.var(1), QByteArray("1"));
    QCOMPARE(form.click(), QStringLiteral("01"));
    QCheckBox *a = form.find<MCheckBox>(0)->checkBox();
    a->setFocus();
    QTest::keyClick(a, Qt::Key_Space);
    toggle(b);
    QCOMPARE(form.click(), QStringLiteral("10"));
}

void TestMCheckBox::setVarIndexReportsUnchecked()
{
    MCheckBox box;
    QSignalSpy spy(&box, &MCheckBox::valueChanged);
    box.setVarIndex(4);
    box.changeValue(Qt::PartiallyChecked);
    box.changeValue(Qt::Checked);
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(0), QVariantList({4, QStringLiteral("0")}));
    QCOMPARE(spy.at(1).at(1).toString(), QStringLiteral("1"));
    QCOMPARE(spy.at(2).at(1).toString(), QStringLiteral("1"));
}

QTEST_MAIN(TestMCheckBox)
#include "tst_mcheckbox.moc"
