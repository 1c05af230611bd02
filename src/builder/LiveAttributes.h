#pragma once

#include "builder/FormChecker.h"

#include <QHash>

struct KnownTag;

// The attributes that make a form change after it opens (id, refresh, every,
// exit, enabled, visible). Checked once the whole form is seen: a refresh may
// name an element further down.
class LiveAttributes
{
public:
    explicit LiveAttributes(const Document &document) : m_doc(document) {}
    // Each element that kiv builds, in document order.
    void element(const Element *e, const KnownTag &k);
    std::vector<Diagnostic> finish();

private:
    qsizetype offsetOf(QByteArrayView inText) const { return inText.data() - m_doc.text().constData(); }
    void add(Diagnostic::Kind kind, qsizetype offset, QString message);

    const Document &m_doc;
    QHash<QByteArray, qsizetype> m_ids;  // where each was first given
    std::vector<QByteArray> m_targets;   // every var of a bound widget and every id
    std::vector<const Element *> m_refresh;
    std::vector<Diagnostic> m_out;
};
