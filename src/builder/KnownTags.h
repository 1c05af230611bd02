#pragma once

#include "markup/StaticValue.h"

#include <QByteArrayView>

#include <span>
#include <vector>

class Element;
class QLayout;
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
    };

    using Builder = void (*)(FormSession &, const Element *, QLayout *);
    // Looks at the raw values of an element of this tag (never running them) and
    // adds what its builder would do with doubtful ones.
    using Check = void (*)(const Element *element, std::vector<TagWarning> &warnings);

    const char *name;
    unsigned traits;
    const char *const *attributes; // the names its builder reads, null-terminated
    const char *entryTag;          // child elements it builds itself (null: none)
    Builder build;                 // null: built as nothing
    Check check;                   // null: nothing beyond the common checks

    bool has(Trait trait) const { return traits & trait; }
    bool reads(QByteArrayView attribute) const;
};

// The tag of that name, or null.
const KnownTag *knownTag(QByteArrayView name);
std::span<const KnownTag> knownTags();
// The "icon" entries of an iconlist.
const KnownTag &iconEntryTag();
