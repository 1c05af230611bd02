#pragma once

#include "markup/StaticValue.h"

#include <QByteArrayView>

#include <span>
#include <vector>

class Element;
class QLayout;
class QWidget;
class FormSession;

// What the builders make of each tag: the one table that the element dispatch
// builds from and that kiv --check reads, so the two cannot drift apart.
struct KnownTag
{
    enum Trait : unsigned {
        Container = 1,     // its children, attribute nodes included, are built as elements
        RunsContent = 2,   // its content (or code) is a command run while the window is built
        ClickCommand = 4,  // its content (or code, or onclick) is a command run at each click
        BindsVariable = 8, // var names the shell variable it binds
        Remark = 16,       // built as nothing, on purpose: a place for remarks
        Widget = 32,       // builds one widget: enabled and visible apply to it
    };

    using Builder = void (*)(FormSession &, const Element *, QLayout *);
    // Looks at the raw values of an element of this tag (never running them) and
    // adds what its builder would do with doubtful ones.
    using Check = void (*)(const Element *element, std::vector<TagWarning> &warnings);

    // Reads the content of a built widget again, as its builder did (keeping the
    // current choice where it is still offered). Commands are answered from the
    // refresh's reads, already done: session.value() runs nothing then.
    using Reload = void (*)(FormSession &session, const Element *element, QWidget *widget);

    const char *name;
    unsigned traits;
    const char *const *attributes; // the names its builder reads, null-terminated
    const char *entryTag;          // child elements it builds itself (null: none)
    Builder build;                 // null: built as nothing
    Check check;                   // null: nothing beyond the common checks
    Reload reload;                 // null: a refresh only reads enabled and visible again

    bool has(Trait trait) const { return traits & trait; }
    bool reads(QByteArrayView attribute) const;
    // What its builder reads, or one of the common attributes.
    bool accepts(QByteArrayView attribute) const;
};

// The attributes that every element may carry, read by the dispatch rather than
// by a builder: id, refresh, every, enabled, visible.
std::span<const char *const> commonAttributes();

// The tag of that name, or null.
const KnownTag *knownTag(QByteArrayView name);
std::span<const KnownTag> knownTags();
// The "icon" entries of an iconlist.
const KnownTag &iconEntryTag();
