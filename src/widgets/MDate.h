#pragma once

#include "markup/Element.h"

#include <QDate>
#include <QString>
#include <QWidget>

class QDateEdit;

// A date box with a calendar pop-up, bound to a shell variable that holds the
// date written in the box's format.
class MDate : public QWidget
{
    Q_OBJECT
public:
    explicit MDate(QWidget *parent = nullptr);

    void setVarIndex(int index) { m_varIndex = index; }
    int varIndex() const { return m_varIndex; }
    QDateEdit *dateEdit() const { return m_dateEdit; }

    // Qt's date format letters ("dd.MM.yyyy"); one that formatProblem finds
    // fault with gives ISO's yyyy-MM-dd.
    void setFormat(const QString &format);
    QString format() const { return m_format; }
    // The date that text gives in the format; today when it gives none. Reported.
    void setInitialText(const OptText &text);
    QString valueText() const;

    static QString isoFormat() { return QStringLiteral("yyyy-MM-dd"); }
    // Why a date box cannot take the format (empty when it can): it must name a
    // day, a month or a year, and no time, which a date has none of.
    static QString formatProblem(const QString &format);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    void valueChanged(int index, const QString &value);

private:
    void report();

    QDateEdit *m_dateEdit;
    QString m_format;
    int m_varIndex = -1;
};
