#include "app/NoticeScreen.h"

#include "app/frmMain.h"
#include "markup/LosslessText.h"
#include "shell/MEnvVar.h"
#include "shell/RichTextLimits.h"
#include "widgets/MButton.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

void setupNotice(frmMain *window, const char *first, const char *second)
{
    window->newSession();

    // A dialog to the window manager: placed and decorated as one.
    window->setWindowFlag(Qt::Dialog);
    window->setWindowTitle(QCoreApplication::translate("kiv", "Notice \u2014 kiv"));

    // Rich text past what Qt lays out at once is shown as written.
    const auto newLabel = [](const char *text) {
        auto *label = new QLabel(textFromBytes(text));
        if (!mayShowAsRichText(label->text()))
            label->setTextFormat(Qt::PlainText);
        return label;
    };
    auto *layout = new QVBoxLayout;
    auto *firstLabel = newLabel(first ? first : "-");
    if (second)
        layout->addWidget(newLabel(second));
    layout->addWidget(firstLabel);

    // OK only closes the window: its output would be shown nowhere, so no
    // command is run for it.
    auto *ok = new MButton;
    ok->configure(QByteArray("OK"), std::nullopt);
    ok->pushButton()->setDefault(true);
    QObject::disconnect(ok->pushButton(), &QPushButton::clicked, ok, &MButton::click);
    QObject::connect(ok->pushButton(), &QPushButton::clicked, window, &QWidget::close);
    layout->addWidget(ok, 0, Qt::AlignRight);

    // As in any message box, Return answers OK and Escape dismisses; both just close.
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter),
                                   QKeySequence(Qt::Key_Escape)})
        QObject::connect(new QShortcut(key, window), &QShortcut::activated, window, &QWidget::close);

    window->setLayout(layout);
    ok->pushButton()->setFocus();

    window->adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}
