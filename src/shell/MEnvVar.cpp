#include "shell/MEnvVar.h"

#include "markup/LosslessText.h"

#include <cstdio>


MEnvVar::MEnvVar(QObject *parent) : QObject(parent)
{
    m_names.reserve(1);
    m_values.reserve(1);
    m_shown.reserve(1);
}

bool MEnvVar::isShellName(const QByteArray &name)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        if (!letter && !(i > 0 && c >= '0' && c <= '9'))
            return false;
    }
    return true;
}

int MEnvVar::addVariable(const QByteArray &name, const QByteArray &value)
{
    if (!isShellName(name))
        std::fprintf(stderr, "kiv: \"%s\" is not a shell variable name; commands will not see it\n",
                     name.constData());
    m_names.push_back(name);
    m_values.push_back(value.isNull() ? QByteArray("") : value);
    m_shown.emplace_back(m_values.back());
    return int(m_names.size()) - 1;
}

QByteArray MEnvVar::name(int index) const
{
    return index >= 0 && index < count() ? m_names[size_t(index)] : QByteArray();
}

QByteArray MEnvVar::valueOf(int index) const
{
    return index >= 0 && index < count() ? m_values[size_t(index)] : QByteArray();
}

void MEnvVar::updateVal(int index, const QString &value)
{
    if (index < 0 || index >= count())
        return;
    m_shown[size_t(index)].setText(value);
    takeShown(index);
}

void MEnvVar::takeDecoded(int index, const QString &value)
{
    if (index < 0 || index >= count())
        return;
    m_shown[size_t(index)].setDecoded(value);
    takeShown(index);
}

void MEnvVar::takeShown(int index)
{
    const QByteArray &bytes = m_shown[size_t(index)].bytes();
    if (m_values[size_t(index)] == bytes)
        return;
    m_values[size_t(index)] = bytes;
    Q_EMIT valueUpdated(index);
}

void MEnvVar::appendSingleQuoted(QByteArray &out, const QByteArray &value)
{
    out += '\'';
    qsizetype from = 0;
    for (qsizetype q; (q = value.indexOf('\'', from)) >= 0; from = q + 1) {
        out.append(value.constData() + from, q - from);
        out += "'\\''";
    }
    out.append(value.constData() + from, value.size() - from);
    out += '\'';
}

QByteArray MEnvVar::exportAssignments() const
{
    QByteArray out;
    for (size_t i = 0; i < m_names.size(); ++i) {
        if (!isShellName(m_names[i]))
            continue;
        out += m_names[i];
        out += '=';
        appendSingleQuoted(out, m_values[i]);
        out += '\n';
    }
    return out;
}
