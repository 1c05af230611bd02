#include "builder/FormChecker.h"

#include "builder/LiveAttributes.h"

#include "builder/KnownTags.h"
#include "markup/LosslessText.h"
#include "shell/MEnvVar.h"
#include "widgets/ImageFile.h"
#include "widgets/WidgetSetup.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace {

using D = Diagnostic;

// Bash sets these itself or acts on them: a form that binds one changes how every
// command runs (or, for the read-only ones, fails to set it).
const char *const kReadOnlyInBash[] = {"BASHOPTS", "BASH_VERSINFO", "EUID", "PPID", "SHELLOPTS", "UID"};
const char *const kSpecialToBash[] = {
    "BASH",         "BASHPID",     "BASH_ALIASES",    "BASH_ARGC",     "BASH_ARGV",  "BASH_ARGV0",
    "BASH_CMDS",    "BASH_COMMAND", "BASH_COMPAT",    "BASH_ENV",      "BASH_LINENO", "BASH_LOADABLES_PATH",
    "BASH_REMATCH", "BASH_SOURCE", "BASH_SUBSHELL",   "BASH_XTRACEFD", "CDPATH",     "CHILD_MAX",
    "COLUMNS",      "COPROC",      "DIRSTACK",        "ENV",           "EPOCHREALTIME", "EPOCHSECONDS",
    "EXECIGNORE",   "FUNCNAME",    "FUNCNEST",        "GLOBIGNORE",    "GROUPS",     "HISTCMD",
    "HISTFILE",     "HOME",        "HOSTFILE",        "IFS",           "IGNOREEOF",  "INPUTRC",
    "LANG",         "LINENO",      "LINES",           "OLDPWD",        "OPTARG",     "OPTERR",
    "OPTIND",       "PATH",        "PIPESTATUS",      "POSIXLY_CORRECT", "PS4",      "PWD",
    "RANDOM",       "SECONDS",     "SHELL",           "SHLVL",         "SRANDOM",    "TIMEFORMAT",
    "TMOUT",        "TMPDIR",
};

template<size_t N>
bool listed(QByteArrayView name, const char *const (&list)[N])
{
    return std::any_of(std::begin(list), std::end(list), [&](const char *n) { return name == QByteArrayView(n); });
}

QString show(QByteArrayView bytes, qsizetype most = 60) { return shownBytes(bytes, most); }

QString shortened(QByteArrayView bytes, qsizetype most = 40) { return show(bytes, most); }

// Damerau-Levenshtein distance (adjacent swaps count one), ignoring case. Three
// rows are enough: a swap looks two rows back.
int distance(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = a.size(), m = b.size();
    std::vector<int> rows(size_t(3 * (m + 1)));
    int *before = rows.data(), *previous = before + (m + 1), *current = previous + (m + 1);
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    for (qsizetype j = 0; j <= m; ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= m; ++j) {
            const int cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
            int v = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1]))
                v = std::min(v, before[j - 2] + 1);
            current[j] = v;
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[m];
}

QString didYouMean(QByteArrayView name, const std::vector<QByteArray> &known, const QString &wrap)
{
    const QByteArray best = closestName(name, known);
    return best.isEmpty() ? QString() : QStringLiteral(" (did you mean %1?)").arg(wrap.arg(show(best)));
}

const std::vector<QByteArray> &tagNames()
{
    static const std::vector<QByteArray> names = [] {
        std::vector<QByteArray> list;
        for (const KnownTag &t : knownTags())
            list.emplace_back(t.name);
        return list;
    }();
    return names;
}

std::vector<QByteArray> attributeNames(const KnownTag &tag)
{
    std::vector<QByteArray> names;
    for (const char *const *a = tag.attributes; *a; ++a)
        names.emplace_back(*a);
    return names;
}

// The names a misspelt attribute of this tag may have meant: its own and those
// of every element; for a child element also the tag's entries.
std::vector<QByteArray> guessNames(const KnownTag &tag, bool child)
{
    std::vector<QByteArray> names = attributeNames(tag);
    for (const char *common : commonAttributes())
        names.emplace_back(common);
    if (child && tag.entryTag)
        names.emplace_back(tag.entryTag);
    return names;
}

QString listOf(const std::vector<QByteArray> &names)
{
    QStringList parts;
    for (const QByteArray &n : names)
        parts << show(n);
    if (parts.size() < 2)
        return parts.join(QString());
    const QString last = parts.takeLast();
    return parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

bool looksLikeName(QByteArrayView name)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        const bool other = (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
        if (!letter && !(i > 0 && other))
            return false;
    }
    return true;
}

class Checker
{
public:
    Checker(const QByteArray &text, const Document *document, const ReadDetails &details)
        : m_text(text), m_doc(document), m_details(details), m_tags(details.tags)
    {
    }

    std::vector<D> run()
    {
        if (!m_doc || m_tags.empty()) {
            noTag();
            return take();
        }
        nesting();
        for (int j = 0; j <= m_lastTag; ++j)
            tag(j);
        if (m_doc->root()) {
            indexTree(m_doc->root());
            dropped();
            textsBetweenTags();
            afterRoot();
            m_root = m_doc->root();
            m_live = std::make_unique<LiveAttributes>(*m_doc);
            dispatched(m_root, nullptr);
            mnemonics();
            for (D &d : m_live->finish())
                m_out.push_back(std::move(d));
            m_live.reset();
        }
        leftOut();
        return take();
    }

private:
    D &add(D::Kind kind, qsizetype offset, QString message)
    {
        m_out.push_back({kind, offset, std::move(message), {}});
        return m_out.back();
    }
    static void note(D &to, qsizetype offset, QString message)
    {
        to.notes.push_back({D::Note, offset, std::move(message), {}});
    }
    std::vector<D> take()
    {
        std::stable_sort(m_out.begin(), m_out.end(), [](const D &a, const D &b) { return a.offset < b.offset; });
        return std::move(m_out);
    }

    int lineOf(qsizetype offset) const { return m_doc->position(offset).line; }
    ReadProblem problem(ReadProblem::Code code, const NestingProblem &p) const
    {
        const TagRecord &t = m_tags[size_t(p.tag)];
        ReadProblem r{code, t.start, nameOf(t).toByteArray()};
        if (p.other >= 0) {
            r.otherName = nameOf(m_tags[size_t(p.other)]).toByteArray();
            r.otherAt = m_tags[size_t(p.other)].start;
        }
        return r;
    }
    QString words(const ReadProblem &problem) const
    {
        return problemText(problem, ProblemWording::Check, [this](qsizetype at) { return lineOf(at); });
    }
    QByteArrayView nameOf(const TagRecord &t) const { return t.name(m_text); }
    QString tagText(const TagRecord &t) const
    {
        return (t.closing ? QStringLiteral("</%1>") : QStringLiteral("<%1>")).arg(show(nameOf(t)));
    }
    static bool isComment(QByteArrayView name) { return name.startsWith("!--"); }

    void noTag()
    {
        const qsizetype at = m_details.tagsEnd;
        if (m_doc && at < m_text.size() && m_text[at] == '<') {
            incompleteTag(at);
            return;
        }
        add(D::Error, 0, words({ReadProblem::NoElement}));
    }

    void incompleteTag(qsizetype at)
    {
        const ReadProblem problem = incompleteTagProblem(m_text, at);
        if (problem.code != ReadProblem::OpenQuote) {
            add(D::Error, at, words(problem));
            return;
        }
        D &d = add(D::Error, openQuoteAfter(m_text, at), words(problem));
        note(d, at, QStringLiteral("the tag starts here"));
    }

    void nesting()
    {
        if (m_details.tooDeepAt >= 0)
            add(D::Error, m_details.tooDeepAt, words({ReadProblem::TooDeep, m_details.tooDeepAt}));
        if (m_details.tagsEnd < m_details.readEnd && m_details.tagsEnd < m_text.size())
            incompleteTag(m_details.tagsEnd);

        int rootClose = -1;
        const std::vector<NestingProblem> problems = nestingProblems(m_text, m_tags, &rootClose);
        m_lastTag = rootClose >= 0 ? rootClose : int(m_tags.size()) - 1;
        // One error for the innermost element left open, notes for those around it.
        // An index, not a pointer: m_out grows meanwhile.
        int group = -1, groupOther = -2, unsaid = 0;
        auto endGroup = [&] {
            if (group >= 0 && unsaid)
                note(m_out[size_t(group)], m_out[size_t(group)].notes.back().offset,
                     QStringLiteral("and %1 more elements around it are not closed either").arg(unsaid));
            group = -1;
            unsaid = 0;
        };
        for (const NestingProblem &p : problems) {
            const TagRecord &t = m_tags[size_t(p.tag)];
            if (p.kind == NestingProblem::Stray) {
                endGroup();
                const ReadProblem stray = problem(ReadProblem::Stray, p);
                QString message = words(stray);
                if (p.other >= 0)
                    message += didYouMean(stray.name, {stray.otherName}, QStringLiteral("</%1>"));
                D &d = add(D::Error, t.start, message);
                note(d, t.start,
                     QStringLiteral("the reader takes it for the start of an element <%1>").arg(show(nameOf(t))));
                continue;
            }
            m_unclosed.insert(p.tag);
            if (group >= 0 && p.other == groupOther) {
                // The innermost one is the mistake; a few around it show where it lies.
                if (m_out[size_t(group)].notes.size() < 3)
                    note(m_out[size_t(group)], t.start,
                         isComment(nameOf(t))
                             ? QStringLiteral("'<!--' here opens an element named '!--' that is not closed either "
                                              "(kiv's format has no comments)")
                             : QStringLiteral("%1 opened here is not closed either").arg(tagText(t)));
                else
                    ++unsaid;
                continue;
            }
            endGroup();
            const QString message = words(problem(ReadProblem::Unclosed, p));
            add(D::Error, t.start, message);
            group = int(m_out.size()) - 1;
            groupOther = p.other;
        }
        endGroup();
    }

    void tag(int j)
    {
        const TagRecord &t = m_tags[size_t(j)];
        const QByteArrayView name = nameOf(t);
        const bool blankAfterLt = t.nameAt > t.start + 1 + (t.closing ? 1 : 0);
        if (isComment(name)) {
            if (m_unclosed.contains(j))
                return; // the error for it says so
            add(D::Warning, t.start,
                QStringLiteral("kiv's format has no comments: '<!--' starts an element named '!--', which kiv "
                               "ignores together with everything inside it; write a remark as <note text=\"...\"/>"));
        } else if (!name.startsWith('?') && (blankAfterLt || !looksLikeName(name))) {
            add(D::Warning, t.start,
                QStringLiteral("this '<' is read as the start of a tag named '%1'; if it belongs to a command, "
                               "put it inside double quotes")
                    .arg(shortened(name, 20)));
        }
        if (t.attributesSize && !t.closing)
            attributes(t);
        if (!t.selfClosing && !t.closing)
            quoteHidingClose(t, size_t(j) + 1 < m_tags.size() ? qsizetype(m_tags[size_t(j) + 1].start)
                                                               : m_details.tagsEnd);
    }

    void attributes(const TagRecord &t)
    {
        const QByteArrayView text(m_text.constData() + t.attributesAt, qsizetype(t.attributesSize));
        struct Given
        {
            qsizetype secondAt = 0;
            int count = 0;
        };
        std::unordered_map<std::string_view, Given> given;
        visitAttributeSpans(text, [&](const AttributeSpan &a) {
            const qsizetype base = t.attributesAt;
            const QByteArrayView name = text.sliced(a.nameAt, a.nameEnd - a.nameAt);
            const QByteArrayView value = text.sliced(a.valueAt, a.valueEnd - a.valueAt);
            // A password is never repeated, not even in part: what follows the
            // early end of its text in the tag is likely the rest of it.
            const bool hidden = inSecret(base + a.nameAt);
            if (a.unterminated) {
                add(D::Error, base + a.valueAt - 1,
                    hidden ? QStringLiteral("a double quote after the early end of a password is never closed: the "
                                            "value runs to the end of the tag")
                           : QStringLiteral("the value of '%1' starts with a double quote that is never closed: the "
                                            "value runs to the end of the tag")
                                 .arg(show(name)));
            } else if (hidden) {
                // The early end of the password's text says what to do.
            } else if (a.quoted && a.valueEnd + 1 < text.size() && !isBlank(text[a.valueEnd + 1])) {
                const bool secret = nameOf(t) == "password" && name == "text";
                if (secret)
                    m_secretFrom.push_back({base + a.valueEnd, qsizetype(t.attributesAt + t.attributesSize)});
                // The way out names a child element, which only a name can be.
                add(D::Warning, base + a.valueEnd,
                    (looksLikeName(name) ? QStringLiteral("this double quote ends the value of '%1' early (the value "
                                                          "is %2): a value cannot hold a double quote; write it as a "
                                                          "child element <%1>...</%1>")
                                         : QStringLiteral("this double quote ends the value of '%1' early (the value "
                                                          "is %2): a value cannot hold a double quote"))
                        .arg(show(name), secret ? QStringLiteral("hidden") : u'"' + shortened(value) + u'"'));
            }
            if (a.equalsAt > a.nameEnd) {
                const QByteArrayView skipped = text.sliced(a.nameEnd, a.equalsAt - a.nameEnd);
                if (std::any_of(skipped.begin(), skipped.end(), [](char c) { return !isBlank(c); }))
                    add(D::Warning, base + a.nameAt,
                        hidden
                            ? QStringLiteral("this name (hidden) after the early end of a password has no '=' of "
                                             "its own")
                            : QStringLiteral("'%1' has no '=' of its own: it takes the value after the next '=', "
                                             "and \"%2\" in between is skipped")
                                  .arg(show(name), shortened(QByteArrayView(skipped).trimmed())));
            }
            Given &g = given[std::string_view(name.data(), size_t(name.size()))];
            if (++g.count == 2)
                g.secondAt = base + a.nameAt;
        });
        // One line per name, however often it repeats.
        for (const auto &[name, g] : given) {
            if (g.count > 1 && !inSecret(g.secondAt))
                add(D::Warning, g.secondAt,
                    QStringLiteral("'%1' is given %2 in this tag; the first one is used")
                        .arg(show(QByteArrayView(name.data(), qsizetype(name.size()))),
                             g.count == 2 ? QStringLiteral("twice") : QStringLiteral("%1 times").arg(g.count)));
        }
    }

    void indexTree(const Element *e)
    {
        if (e->isAttribute())
            return;
        m_elements.emplace(e->offset(), e);
        for (int i = 0; i < e->childCount(); ++i)
            indexTree(e->child(i));
    }

    // Tags of the root, as the author wrote it, that the reader's recovery leaves
    // out of the form.
    void dropped()
    {
        for (int j = 1; j <= m_lastTag;) {
            const TagRecord &t = m_tags[size_t(j)];
            if (t.inTree || t.closing) {
                ++j;
                continue;
            }
            int count = 0;
            qsizetype last = t.start;
            for (; j <= m_lastTag && !m_tags[size_t(j)].inTree; ++j) {
                if (!m_tags[size_t(j)].closing) {
                    ++count;
                    last = m_tags[size_t(j)].start;
                }
            }
            QString message = QStringLiteral("the reader leaves this %1 out of the form").arg(tagText(t));
            if (count == 2)
                message = QStringLiteral("the reader leaves this %1 and the element after it (line %2) out of the "
                                         "form")
                              .arg(tagText(t))
                              .arg(lineOf(last));
            else if (count > 2)
                message = QStringLiteral("the reader leaves this %1 and the %2 elements after it, up to line %3, out "
                                         "of the form")
                              .arg(tagText(t))
                              .arg(count - 1)
                              .arg(lineOf(last));
            add(D::Note, t.start, message);
        }
    }

    // Text between tags is either the content of the element before it or lost.
    void textsBetweenTags()
    {
        for (size_t j = 0; j < m_tags.size() && m_tags[j].next < m_details.readEnd; ++j) {
            const TagRecord &t = m_tags[j];
            const qsizetype end = j + 1 < m_tags.size() ? qsizetype(m_tags[j + 1].start) : m_details.tagsEnd;
            const auto found = m_elements.find(t.start);
            const Element *e = t.inTree && found != m_elements.end() ? found->second : nullptr;
            if (e && e->hasContent())
                continue;
            qsizetype i = t.next;
            while (i < end && isBlank(m_text[i]))
                ++i;
            if (i >= end || (!t.inTree && !t.closing))
                continue;
            add(D::Warning, i,
                QStringLiteral("this text is dropped: text beside child elements belongs to no element "
                               "(\"%1\")")
                    .arg(shortened(QByteArrayView(m_text).sliced(i, end - i).trimmed())));
        }
    }

    // An odd double quote in a content hides the tags after it from the reader,
    // the closing tag of its own element first.
    void quoteHidingClose(const TagRecord &t, qsizetype end)
    {
        const QByteArray closing = "</" + nameOf(t).toByteArray();
        qsizetype hidden = -1;
        if (const qsizetype quote = quoteHiding(m_text, t.next, end, closing, &hidden); quote >= 0)
            add(D::Warning, quote,
                QStringLiteral("this double quote hides %1> on line %2 from the reader, which looks for tags "
                               "again only after the next double quote; keep double quotes in pairs")
                    .arg(show(closing))
                    .arg(lineOf(hidden)));
    }

    void afterRoot()
    {
        for (size_t j = size_t(m_lastTag) + 1; j < m_tags.size(); ++j) {
            const TagRecord &t = m_tags[j];
            if (!nameOf(t).startsWith('?')) {
                const TagRecord &root = m_tags.front();
                add(D::Warning, t.start,
                    QStringLiteral("elements after the end of the root element %1 (line %2) are never read")
                        .arg(tagText(root))
                        .arg(lineOf(root.start)));
                return;
            }
        }
    }

    bool fromClosingTag(const Element *e) const
    {
        qsizetype i = e->offset() + 1;
        while (i < m_text.size() && isBlank(m_text[i]))
            ++i;
        return i < m_text.size() && m_text[i] == '/';
    }

    // An element that buildElement is given: the root, a container's child, or a
    // container's attribute (which is built like a child).
    void dispatched(const Element *e, const Element *parent)
    {
        if (m_droppedOnly && built(e->isAttribute() ? parent : e)) {
            // Said while the form's own tree was checked; what it lost may lie inside.
            const KnownTag *k = e->isAttribute() ? nullptr : knownTag(e->name());
            for (int i = 0; k && k->has(KnownTag::Container) && i < e->childCount(); ++i) {
                if (!e->child(i)->isAttribute() && !(readsTitle(e) && e->child(i)->name() == "title"))
                    dispatched(e->child(i), e);
            }
            return;
        }
        if (e->isAttribute()) {
            const KnownTag *k = knownTag(e->name());
            if (k && !k->has(KnownTag::Remark))
                add(D::Warning, e->offset(),
                    QStringLiteral("the attribute '%1' of <%2> is built as a <%1> element: kiv builds the "
                                   "attributes of <%2> like its children")
                        .arg(show(e->name()), show(parent->name())));
            return;
        }
        if (fromClosingTag(e))
            return; // said where the closing tag is
        const KnownTag *k = knownTag(e->name());
        if (!k) {
            if (!isComment(e->name()) && looksLikeName(e->name()))
                unknownTag(e);
            return;
        }
        if (m_live)
            m_live->element(e, *k);
        if (!k->has(KnownTag::Remark))
            element(e, *k);
    }

    // The letter after the first single '&' of a caption, as Qt picks a mnemonic;
    // null when there is none.
    static QChar mnemonicOf(QByteArrayView caption)
    {
        const QString text = textFromBytes(caption);
        for (qsizetype p = text.indexOf(QLatin1Char('&')); p >= 0 && p + 1 < text.size();
             p = text.indexOf(QLatin1Char('&'), p + 2)) {
            if (text[p + 1] != QLatin1Char('&'))
                return text[p + 1].isPrint() ? text[p + 1].toUpper() : QChar();
        }
        return {};
    }

    // A value written as an attribute: one given as a child element is the output
    // of a command, unknown until the form runs.
    static const Element *writtenAttribute(const Element *e, const char *name)
    {
        const Element *a = e->namedChild(name);
        return a && a->isAttribute() ? a : nullptr;
    }

    // The caption that Qt underlines a letter of: a button's title (else text), a
    // check box's text when no command gives it, a tab's title.
    static const Element *captionOf(const Element *e)
    {
        const QByteArrayView name = e->name();
        if (name == "button") {
            const Element *title = e->namedChild("title");
            if (title && !title->isAttribute())
                return nullptr;
            return title && !title->contentView().isEmpty() ? title : writtenAttribute(e, "text");
        }
        if (name == "checkbox") {
            const QByteArrayView content = e->contentView();
            const bool runs = std::any_of(content.begin(), content.end(), [](char c) { return !isBlank(c); })
                              || e->namedChild("code");
            return runs ? nullptr : writtenAttribute(e, "text");
        }
        if (name == "tab")
            return writtenAttribute(e, "title");
        return nullptr;
    }

    struct Mnemonic
    {
        QChar letter;
        const Element *caption;
        int scope;
    };

    // Alt+letter acts on the widget whose caption underlines that letter, among
    // those shown: the window's own and those of the tab page shown. Two of them
    // with one letter share it, and Qt then only moves the focus between them.
    void mnemonics()
    {
        std::vector<Mnemonic> found;
        std::vector<int> parentScope{-1};
        collectMnemonics(m_root, 0, found, parentScope);
        std::vector<QHash<QChar, const Element *>> first(parentScope.size());
        // Backwards, so that the first of each letter is the one kept.
        for (auto it = found.rbegin(); it != found.rend(); ++it)
            first[size_t(it->scope)].insert(it->letter, it->caption);
        for (const Mnemonic &m : found) {
            for (int scope = m.scope; scope >= 0; scope = parentScope[size_t(scope)]) {
                const Element *other = first[size_t(scope)].value(m.letter);
                if (!other || other == m.caption)
                    continue;
                add(D::Warning, m.caption->offset(),
                    QStringLiteral("Alt+%1 is also the shortcut of \"%2\" on line %3: two widgets shown together "
                                   "share it, and Alt+%1 then only moves the focus between them; put the '&' before "
                                   "another letter")
                        .arg(m.letter)
                        .arg(show(other->contentView()))
                        .arg(lineOf(other->offset())));
                break;
            }
        }
    }

    void collectMnemonics(const Element *e, int scope, std::vector<Mnemonic> &found, std::vector<int> &parentScope)
    {
        if (e->isAttribute())
            return;
        if (const Element *caption = captionOf(e)) {
            if (const QChar letter = mnemonicOf(caption->contentView()); !letter.isNull())
                found.push_back({letter, caption, scope});
        }
        const KnownTag *k = knownTag(e->name());
        if (!k || !k->has(KnownTag::Container))
            return;
        if (e->name() == "tab") {
            // A page of its own, shown with the window around it.
            parentScope.push_back(scope);
            scope = int(parentScope.size()) - 1;
        }
        for (int i = 0; i < e->childCount(); ++i)
            collectMnemonics(e->child(i), scope, found, parentScope);
    }

    // Whether the element's tag became part of the form.
    bool built(const Element *e) const
    {
        const auto at = std::lower_bound(m_tags.begin(), m_tags.end(), e->offset(),
                                         [](const TagRecord &t, qsizetype offset) { return t.start < offset; });
        return at != m_tags.end() && at->start == e->offset() && at->inTree;
    }

    // The elements that the reader's recovery leaves out are checked as their
    // author meant them, so that one run finds the mistakes inside them too.
    void leftOut()
    {
        if (m_details.tooDeepAt >= 0)
            return;
        bool any = false;
        for (int j = 0; j <= m_lastTag && !any; ++j)
            any = !m_tags[size_t(j)].inTree && !m_tags[size_t(j)].closing;
        if (!any)
            return;
        const std::unique_ptr<Document> meant = intendedDocument(m_text, m_tags, m_lastTag);
        if (!meant)
            return;
        m_droppedOnly = true;
        m_root = meant->root();
        dispatched(m_root, nullptr);
        m_droppedOnly = false;
    }

    void unknownTag(const Element *e)
    {
        const QByteArrayView name = e->name();
        QString message = QStringLiteral("unknown tag <%1>").arg(show(name));
        if (name == "icon")
            message += QStringLiteral(": icons are entries of an <iconlist> and are read only there");
        else if (name == "title")
            message += QStringLiteral(": a <title> child is read only by <tab> and by the root element");
        else
            message += didYouMean(name, tagNames(), QStringLiteral("<%1>"));
        message += QStringLiteral(": kiv ignores it and everything inside it");
        add(D::Warning, e->offset(), message);
    }

    // The root's title, attribute or child element, is the window's title; a
    // tab's is its caption.
    bool readsTitle(const Element *e) const { return e->name() == "tab" || e == m_root; }

    void element(const Element *e, const KnownTag &k)
    {
        bool hasChildElements = false, hasTitle = false;
        // Builders read the first attribute of a name; a later one is said to be given twice.
        std::unordered_set<std::string_view> seen;
        for (int i = 0; i < e->childCount(); ++i) {
            const Element *c = e->child(i);
            hasChildElements |= !c->isAttribute();
            hasTitle |= c->name() == "title";
            if (c->isAttribute() && seen.emplace(c->name().constData(), size_t(c->name().size())).second)
                attribute(e, k, c);
        }
        if (!hasChildElements && !k.has(KnownTag::RunsContent) && !k.has(KnownTag::ClickCommand)) {
            const QByteArrayView content = e->contentView();
            const qsizetype blanks =
                std::find_if(content.begin(), content.end(), [](char c) { return !isBlank(c); }) - content.begin();
            if (blanks < content.size())
                add(D::Warning, e->offset(),
                    QStringLiteral("<%1> does not use the text inside it (\"%2\")")
                        .arg(show(e->name()), shortened(content.sliced(blanks).trimmed())));
        }
        if (k.check) {
            std::vector<TagWarning> warnings;
            k.check(e, warnings);
            for (TagWarning &w : warnings)
                add(D::Warning, w.offset, std::move(w.message));
        }
        if (e->name() == "tab" && !hasTitle)
            add(D::Warning, e->offset(),
                QStringLiteral("<tab> without a title: its page is built, commands and all, but never shown"));

        for (int i = 0; i < e->childCount(); ++i) {
            const Element *c = e->child(i);
            if (k.has(KnownTag::Container)) {
                if (!(readsTitle(e) && c->name() == "title"))
                    dispatched(c, e);
                continue;
            }
            if (c->isAttribute() || k.accepts(c->name()) || (readsTitle(e) && c->name() == "title"))
                continue;
            if (k.entryTag && c->name() == k.entryTag) {
                if (m_live)
                    m_live->element(c, iconEntryTag());
                element(c, iconEntryTag());
                continue;
            }
            QString message = QStringLiteral("<%1> does not use a child <%2>").arg(show(e->name()), show(c->name()));
            const QString hint = didYouMean(c->name(), guessNames(k, true), QStringLiteral("<%1>"));
            const std::vector<QByteArray> known = attributeNames(k);
            message += !hint.isEmpty() ? hint
                : known.empty() || knownTag(c->name())
                ? QStringLiteral(": only vlayout, hlayout, scrolllayout, tab and config hold other elements")
                : QStringLiteral(": a child element here gives an attribute, and it reads %1").arg(listOf(known));
            add(D::Warning, c->offset(), message);
        }
    }

    void attribute(const Element *e, const KnownTag &k, const Element *a)
    {
        const QByteArrayView name = a->name();
        const QByteArrayView value = a->contentView();
        if (!k.accepts(name) && !(name == "title" && readsTitle(e))) {
            if (k.has(KnownTag::Container) && knownTag(name))
                return; // built like a child: dispatched() has its say
            if (name.contains('"'))
                return; // the rest of a value that a double quote ended early: said there
            if (inSecret(a->offset())) {
                add(D::Warning, a->offset(),
                    QStringLiteral("<%1> has no attribute of this name (hidden: it follows the early end of the "
                                   "password)")
                        .arg(show(e->name())));
                return;
            }
            QString message = QStringLiteral("<%1> has no attribute '%2'").arg(show(e->name()), show(name));
            const QString hint = didYouMean(name, guessNames(k, false), QStringLiteral("'%1'"));
            const std::vector<QByteArray> known = attributeNames(k);
            message += !hint.isEmpty() ? hint
                : known.empty()        ? QStringLiteral("; it takes none")
                                       : QStringLiteral("; it reads %1").arg(listOf(known));
            add(D::Warning, a->offset(), message);
            return;
        }
        if (name == "var" && k.has(KnownTag::BindsVariable) && !value.isEmpty()) {
            variable(a, value.toByteArray());
        } else if ((name == "width" || name == "height") && !value.isEmpty()) {
            if (const std::optional<int> n = leadingInt(value); !n)
                add(D::Warning, a->offset(),
                    QStringLiteral("%1 \"%2\" does not begin with a number: it is ignored")
                        .arg(show(name), show(value)));
            else if (*n < 0 || *n > kMaxWidgetSize)
                add(D::Warning, a->offset(),
                    QStringLiteral("%1 \"%2\" is outside 0 to %3 pixels: %4 is used")
                        .arg(show(name), show(value))
                        .arg(kMaxWidgetSize)
                        .arg(*n < 0 ? 0 : kMaxWidgetSize));
        } else if ((name == "iconwidth" || name == "iconheight") && !value.isEmpty()
                   && !leadingDigits(value, 0)) {
            add(D::Warning, a->offset(),
                QStringLiteral("%1 \"%2\" does not begin with a digit: it is ignored").arg(show(name), show(value)));
        } else if (name == "mode" && !value.isEmpty() && (e->name() == "file" || e->name() == "iconlist")) {
            const bool file = e->name() == "file";
            const QByteArrayView letters = file ? "osd" : "il";
            if (!letters.contains(value[0]))
                add(D::Warning, a->offset(),
                    file ? QStringLiteral("mode \"%1\" changes nothing: a file chooser takes open, save or dir, "
                                          "by the first letter")
                               .arg(show(value))
                         : QStringLiteral("mode \"%1\" changes nothing: an icon list takes icon or list, by the "
                                          "first letter")
                               .arg(show(value)));
        } else if ((name == "src" || (name == "href" && !hasValue(e, "src"))) && !value.isEmpty()) {
            picture(a, value.toByteArray());
        }
    }

    static bool hasValue(const Element *e, const char *name)
    {
        const Element *c = e->namedChild(name);
        return c && (!c->isAttribute() || !c->contentView().isEmpty());
    }

    void variable(const Element *a, const QByteArray &name)
    {
        if (!MEnvVar::isShellName(name)) {
            add(D::Warning, a->offset(),
                QStringLiteral("\"%1\" is not a shell variable name: commands will not see it; use letters, digits "
                               "and _, not starting with a digit")
                    .arg(show(name)));
            return;
        }
        if (name == "KIV_MY_PID")
            add(D::Warning, a->offset(),
                QStringLiteral("KIV_MY_PID is kiv's own variable: binding it hides kiv's process id from commands"));
        else if (listed(name, kReadOnlyInBash))
            add(D::Warning, a->offset(),
                QStringLiteral("%1 is read-only in bash: commands keep bash's own value and print an error")
                    .arg(show(name)));
        else if (listed(name, kSpecialToBash) || name.startsWith("LC_"))
            add(D::Warning, a->offset(),
                QStringLiteral("%1 means something to bash: binding it changes how every command of the form runs")
                    .arg(show(name)));
        if (m_droppedOnly)
            return; // never bound
        if (const auto before = m_variables.constFind(name); before != m_variables.cend())
            add(D::Note, a->offset(),
                QStringLiteral("%1 is bound again here (before on line %2): commands see the value of the later one")
                    .arg(show(name))
                    .arg(lineOf(*before)));
        m_variables.insert(name, a->offset());
    }

    void picture(const Element *a, const QByteArray &name)
    {
        if (canOpenForReading(name) || canOpenForReading(iconsDirectory() + name))
            return;
        // Naming the default icon itself gets the default icon.
        const QByteArray fallback = defaultIconPath();
        if (fallback.endsWith(QByteArray("/" + name)))
            return;
        add(D::Warning, a->offset(),
            QStringLiteral("picture \"%1\" is found neither from the current directory nor in %2: the default "
                           "icon is shown instead")
                .arg(show(name), show(iconsDirectory())));
    }

    const QByteArray &m_text;
    const Document *m_doc;
    const ReadDetails &m_details;
    const std::vector<TagRecord> &m_tags;
    std::unordered_map<qsizetype, const Element *> m_elements;
    QHash<QByteArray, qsizetype> m_variables; // where each was last bound
    QSet<int> m_unclosed;
    const Element *m_root = nullptr;
    bool m_droppedOnly = false; // checking what the reader leaves out
    std::unique_ptr<LiveAttributes> m_live; // while the form's own tree is checked
    int m_lastTag = -1; // the root's closing tag as the author wrote it, or the last tag
    std::vector<D> m_out;
    // Where a password's text ended early: from there to the end of its tag.
    std::vector<std::pair<qsizetype, qsizetype>> m_secretFrom;

    bool inSecret(qsizetype offset) const
    {
        return std::any_of(m_secretFrom.begin(), m_secretFrom.end(),
                           [&](const auto &range) { return offset >= range.first && offset < range.second; });
    }
};

void countInto(const std::vector<D> &list, int counts[3])
{
    for (const D &d : list) {
        ++counts[d.kind];
        countInto(d.notes, counts);
    }
}

QByteArray line(const QByteArray &fileName, const Document *doc, const D &d)
{
    static const char *const kinds[] = {"error", "warning", "note"};
    const TextPosition at = doc ? doc->position(d.offset) : TextPosition{1, 1};
    return fileName + ':' + QByteArray::number(at.line) + ':' + QByteArray::number(at.column) + ": " + kinds[d.kind]
           + ": " + bytesFromText(d.message) + '\n';
}

} // namespace

QByteArray closestName(QByteArrayView name, const std::vector<QByteArray> &known)
{
    QByteArray best;
    int bestDistance = 0;
    const int allowed = name.size() <= 4 ? 1 : name.size() <= 7 ? 2 : 3;
    // Between two as close, the one that starts alike: "tabel" is a table before a label.
    const auto startsAlike = [&](const QByteArray &k) {
        return !name.isEmpty() && !k.isEmpty() && QChar::toLower(uint(uchar(name[0]))) == QChar::toLower(uint(uchar(k[0])));
    };
    for (const QByteArray &k : known) {
        // The distance is at least the difference in length: a long name costs nothing.
        if (std::abs(name.size() - k.size()) > allowed)
            continue;
        const int d = distance(name, k);
        if (d <= allowed
            && (best.isEmpty() || d < bestDistance || (d == bestDistance && startsAlike(k) && !startsAlike(best)))) {
            best = k;
            bestDistance = d;
        }
    }
    return best;
}

QByteArray shellQuoted(const QByteArray &name)
{
    const bool plain = !name.isEmpty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
               || QByteArrayView("/._-+,:@%").contains(c);
    });
    if (plain)
        return name;
    QByteArray out;
    MEnvVar::appendSingleQuoted(out, name);
    return out;
}

CheckedForm checkFormText(const QByteArray &text)
{
    CheckedForm form;
    form.text = text;
    form.document = parseDocument(text, &form.readError, &form.details);
    form.diagnostics = Checker(form.text, form.document.get(), form.details).run();
    return form;
}

CheckedForm checkFormFile(const QByteArray &path)
{
    QString error;
    const std::optional<QByteArray> text = readMcFile(path, &error);
    if (!text) {
        CheckedForm form;
        form.readError = error;
        form.diagnostics.push_back({D::Error, 0, QStringLiteral("cannot read the file: %1").arg(error), {}});
        return form;
    }
    return checkFormText(*text);
}

CheckedForm checkFormStandardInput()
{
    QString error;
    const std::optional<QByteArray> text = readMcStandardInput(&error);
    CheckedForm form;
    if (text) {
        form = checkFormText(*text);
    } else {
        form.readError = error;
        form.diagnostics.push_back({D::Error, 0, QStringLiteral("cannot read standard input: %1").arg(error), {}});
    }
    form.standardInput = true;
    return form;
}

QByteArray formatDiagnostics(const QByteArray &fileName, const CheckedForm &form)
{
    QByteArray out;
    for (const D &d : form.diagnostics) {
        out += line(fileName, form.document.get(), d);
        for (const D &n : d.notes)
            out += line(fileName, form.document.get(), n);
    }
    return out;
}

QString diagnosticCounts(const CheckedForm &form)
{
    int counts[3] = {0, 0, 0};
    countInto(form.diagnostics, counts);
    static const char *const singular[] = {"error", "warning", "note"};
    QStringList parts;
    for (int k = 0; k < 3; ++k) {
        if (counts[k])
            parts << QStringLiteral("%1 %2%3").arg(counts[k]).arg(QLatin1String(singular[k]),
                                                                 counts[k] == 1 ? QString() : QStringLiteral("s"));
    }
    return parts.join(QStringLiteral(", "));
}

QByteArray startupSummary(const QByteArray &fileName, const CheckedForm &form)
{
    const QString counts = diagnosticCounts(form);
    if (counts.isEmpty())
        return {};
    int total[3] = {0, 0, 0};
    countInto(form.diagnostics, total);
    const QByteArray name = form.standardInput ? QByteArray(kStandardInputName) : fileName;
    return "kiv: " + name + ": " + bytesFromText(counts) + "; kiv --check "
           + (form.standardInput ? QByteArray("-") : shellQuoted(fileName))
           + (total[0] + total[1] + total[2] == 1 ? " shows it\n" : " shows them\n");
}

int checkFiles(const std::vector<QByteArray> &paths, std::FILE *out, const std::vector<bool> &standardInput)
{
    bool errors = false;
    for (size_t i = 0; i < paths.size(); ++i) {
        const bool stdIn = i < standardInput.size() && standardInput[i];
        const CheckedForm form = stdIn ? checkFormStandardInput() : checkFormFile(paths[i]);
        const QByteArray text = formatDiagnostics(stdIn ? QByteArray(kStandardInputName) : paths[i], form);
        std::fwrite(text.constData(), 1, size_t(text.size()), out);
        for (const D &d : form.diagnostics)
            errors |= d.kind == D::Error;
    }
    std::fflush(out);
    return errors ? 1 : 0;
}
