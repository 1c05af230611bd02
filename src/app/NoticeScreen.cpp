#include "app/NoticeScreen.h"

#include "app/frmMain.h"
#include "markup/LosslessText.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "widgets/MButton.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

void setupNotice(frmMain *window, const char *first, const char *second)
{
    auto *store = new MEnvVar(window);
    setVariableStore(store);
    setRunnerStore(store);

    auto *layout = new QVBoxLayout;
    auto *firstLabel = new QLabel(textFromBytes(first ? first : "-"));
    if (second)
        layout->addWidget(new QLabel(textFromBytes(second)));
    layout->addWidget(firstLabel);

    // OK only closes the window: its output would be shown nowhere, so no
    // command is run for it.
    auto *ok = new MButton;
    ok->configure(QByteArray("OK"), std::nullopt);
    QObject::disconnect(ok->pushButton(), &QPushButton::clicked, ok, &MButton::click);
    QObject::connect(ok->pushButton(), &QPushButton::clicked, window, &QWidget::close);
    layout->addWidget(ok);

    window->setLayout(layout);
}
