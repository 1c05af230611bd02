#pragma once

#include <QByteArray>

// A command's script, held where nobody can swap or keep it: a sealed memory file
// (or, where the kernel has none, a file without a name in TMPDIR or /tmp). bash
// reads it through path(), a name of kiv's own descriptor, so the command gets no
// extra descriptor and nothing is left on disk whatever happens to kiv.
class ScriptImage
{
public:
    // memoryFileAllowed off: skip the memory file, as on a kernel without one.
    explicit ScriptImage(const QByteArray &content, bool memoryFileAllowed = true);
    ~ScriptImage();
    ScriptImage(const ScriptImage &) = delete;
    ScriptImage &operator=(const ScriptImage &) = delete;

    bool ok() const { return m_fd >= 0; }
    int error() const { return m_error; }
    // /proc/<kiv's pid>/fd/<n>: readable while this object lives.
    QByteArray path() const;

private:
    int m_fd = -1;
    int m_error = 0;
};
