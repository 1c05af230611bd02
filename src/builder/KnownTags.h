#pragma once

#include <QByteArrayView>

#include <span>

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

    const char *name;
    unsigned traits;
    const char *const *attributes; // the names its builder reads, null-terminated
    const char *entryTag;          // child elements it builds itself (null: none)

    bool has(Trait trait) const { return traits & trait; }
    bool reads(QByteArrayView attribute) const;
};

// The tag of that name, or null.
const KnownTag *knownTag(QByteArrayView name);
std::span<const KnownTag> knownTags();
// The "icon" entries of an iconlist.
const KnownTag &iconEntryTag();
