#pragma once

#include <QProgressBar>
#include <QString>
#include <QTimer>

class MOHandler;

// A progress bar fed by the progress lines of the running command's output (see
// progressLine): a number sets the bar, "# text" its text. Before the first number
// of a run it shows the busy animation; the next command starts it afresh. A run
// may print progress lines far faster than a screen shows them: the bar takes the
// last of them at most every kRefreshMs.
class ProgressBarView : public QProgressBar
{
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 40;

    explicit ProgressBarView(const QString &idleText, QWidget *parent = nullptr);
    void setHandler(MOHandler *handler);

    // What the bar says: the last "# " text of the run, else the percentage, else
    // (no number in this run) the idle text.
    QString text() const override;

private:
    void begin();
    void end();
    void apply();

    QString m_idleText;
    QString m_text;          // null: no "# " line in this run
    int m_pending = -1;      // the last number not yet shown
    QString m_pendingText;   // null: none pending
    bool m_hasNumber = false;
    QTimer m_refresh;
};
