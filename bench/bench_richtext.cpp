// The worst rich text the guard admits, shape by shape: the largest text of each
// shape that richTextFits still takes, parsed and laid out in a log's document
// (and once in a label, which lays it out more than once before it is shown).
// Reference, in the same run: the same text laid out as plain text. The guard's
// bounds hold when every row stays within a second on the machines kiv runs on.
#include "builder/RichTextResources.h"
#include "shell/RichTextLimits.h"

#include "Measure.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

QString nested(int depth, int width, const QString &leaf)
{
    if (depth == 0)
        return leaf;
    const QString inner = nested(depth - 1, width, leaf);
    QString row;
    for (int i = 0; i < width; ++i)
        row += QStringLiteral("<td>") + inner + QStringLiteral("</td>");
    return QStringLiteral("<table border=1><tr>") + row + QStringLiteral("</tr></table>");
}

// The largest n for which make(n) is admitted (make grows with n).
QString largest(const std::function<QString(int)> &make, qint64 maxCost)
{
    int lo = 0, hi = 1;
    while (richTextFits(make(hi), maxCost) && hi < (1 << 22))
        hi *= 2;
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        (richTextFits(make(mid), maxCost) ? lo : hi) = mid;
    }
    return make(lo);
}

QString repeated(const QString &unit, int n) { return unit.repeated(n); }

double layOut(const QString &text, bool rich)
{
    return seconds([&] {
        SafeTextDocument doc;
        if (rich)
            doc.setHtml(text);
        else
            doc.setPlainText(text);
        doc.setTextWidth(800);
        doc.documentLayout()->documentSize();
    });
}

// A form's label, in a window of 800 x 600 that scrolls: built, laid out and
// painted once.
double showInLabel(const QString &text, Qt::TextFormat format = Qt::AutoText)
{
    return seconds([&] {
        QScrollArea window;
        window.setWidgetResizable(true);
        auto *label = new QLabel(text);
        label->setTextFormat(format);
        window.setWidget(label);
        window.resize(800, 600);
        window.show();
        QApplication::processEvents();
        window.repaint();
    });
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    installRichTextGuard();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QImage big(2000, 2000, QImage::Format_RGB32);
    big.fill(Qt::darkCyan);
    big.save(QStringLiteral("big.png"));

    struct Shape
    {
        const char *name;
        std::function<QString(int)> make;
    };
    const QString words = QStringLiteral("word ");
    const std::vector<Shape> shapes = {
        {"paragraphs of words", [&](int n) -> QString { return QStringLiteral("<p><b>report</b></p>") + repeated(QStringLiteral("<p>") + words.repeated(12) + QStringLiteral("</p>\n"), n); }},
        {"one table, cells of a word", [&](int n) -> QString { return QStringLiteral("<table border=1>") + repeated(QStringLiteral("<tr>") + QStringLiteral("<td>word</td>").repeated(10) + QStringLiteral("</tr>\n"), n) + QStringLiteral("</table>"); }},
        {"tables 3 wide, nested", [&](int n) -> QString { return nested(n, 3, words); }},
        {"tables 2 wide, nested", [&](int n) -> QString { return nested(n, 2, words); }},
        {"text in 8 nested tables", [&](int n) -> QString { return nested(8, 1, words.repeated(n)); }},
        {"text in a table cell", [&](int n) -> QString { return nested(1, 1, words.repeated(n)); }},
        {"elements 32 deep", [&](int n) -> QString { return QStringLiteral("<div>").repeated(31) + repeated(QStringLiteral("<b>x</b> "), n); }},
        {"unclosed elements", [&](int n) -> QString { return QStringLiteral("<b>") + repeated(QStringLiteral("<font>x "), n); }},
        {"one picture, many names", [&](int n) -> QString {
             QString s = QStringLiteral("<b>pictures</b>");
             for (int i = 0; i < n; ++i)
                 s += QStringLiteral("<img src=\"big.png?%1\" width=20 height=20>").arg(i);
             return s;
         }},
    };

    std::printf("%-28s %8s %8s %8s %8s %8s %8s\n", "worst admitted shape", "log", "log ms", "plain", "label", "label ms", "plain");
    std::printf("%-28s %8s %8s %8s %8s %8s %8s\n", "", "chars", "rich", "ms", "chars", "rich", "ms");
    double worst = 0;
    for (const Shape &s : shapes) {
        const QString logText = largest(s.make, kRichTextMaxCost);
        const QString labelText = largest(s.make, kRichTextMaxLabelCost);
        const double log = median({layOut(logText, true), layOut(logText, true), layOut(logText, true)});
        const double plain = median({layOut(logText, false), layOut(logText, false), layOut(logText, false)});
        const double label = median({showInLabel(labelText), showInLabel(labelText), showInLabel(labelText)});
        const double plainLabel = median({showInLabel(labelText, Qt::PlainText), showInLabel(labelText, Qt::PlainText),
                                          showInLabel(labelText, Qt::PlainText)});
        worst = std::max({worst, log, label});
        std::printf("%-28s %8lld %8.0f %8.0f %8lld %8.0f %8.0f\n", s.name, qlonglong(logText.size()), log * 1000,
                    plain * 1000, qlonglong(labelText.size()), label * 1000, plainLabel * 1000);
    }
    std::printf("slowest admitted: %.0f ms (goal: under 1000 ms)\n", worst * 1000);
    return worst < 1.0 ? 0 : 1;
}
