#pragma once

#include "markup/LosslessText.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <vector>

// The one store of every bound shell variable. Indexes are positions, fixed for
// the life of the store; names need not be unique.
class MEnvVar : public QObject
{
    Q_OBJECT
public:
    explicit MEnvVar(QObject *parent = nullptr);

    // Appends a variable and returns its index.
    int addVariable(const QByteArray &name, const QByteArray &value);
    int count() const { return int(m_names.size()); }
    QByteArray name(int index) const;
    QByteArray valueOf(int index) const;

    // One assignment line per variable, in index order, each value single-quoted so
    // that the shell reads back exactly its bytes. Names that are not shell
    // identifiers are left out.
    QByteArray exportAssignments() const;

    static bool isShellName(const QByteArray &name);
    // value in single quotes, each ' as '\'': the shell reads back its bytes.
    static void appendSingleQuoted(QByteArray &out, const QByteArray &value);

public Q_SLOTS:
    // An edit of what the bound widget shows: characters typed are text.
    void updateVal(int index, const QString &value);
    // A text kiv decoded for the widget (a start value, an entry picked): its
    // escapes stand for the bytes they were decoded from.
    void takeDecoded(int index, const QString &value);

Q_SIGNALS:
    // The value at index became another.
    void valueUpdated(int index);

private:
    // The value becomes the bytes of what the widget shows.
    void takeShown(int index);

    std::vector<QByteArray> m_names;
    std::vector<QByteArray> m_values;
    // What the widget bound to each variable shows, to tell escapes kiv decoded
    // from the same characters typed by a person.
    std::vector<EditedText> m_shown;
};

