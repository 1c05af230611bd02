#include "builder/Builders.h"
#include "builder/KnownTags.h"
#include "widgets/MTable.h"

namespace {

void buildGlobalRow(FormSession &session, const Element *element, QLayout *) { buildGlobal(session, element); }

void checkTextLog(const Element *element, std::vector<TagWarning> &warnings)
{
    const Element *format = element->namedChild("format");
    if (!format || !format->isAttribute())
        return;
    const QByteArray value = format->contentView().trimmed().toByteArray();
    if (value != "plain" && value != "rich" && value != "auto")
        warnings.push_back({format->offset(), QStringLiteral("<textlog> format \"%1\" is none of plain, rich, auto: "
                                                             "kiv takes it as auto")
                                                  .arg(QString::fromUtf8(value.left(40)))});
}

// The attributes each builder reads (tst_check watches the builders to keep
// these lists true).
const char *const kButtonAttributes[] = {"title", "text", "onclick", "code", "width", "height", nullptr};
const char *const kLabelAttributes[] = {"text", "code", "width", "height", nullptr};
const char *const kCheckBoxAttributes[] = {"var", "text", "code", "checked", "width", "height", nullptr};
const char *const kComboBoxAttributes[] = {"var", "code", "width", "height", nullptr};
const char *const kIconListAttributes[] = {"var",           "mode", "iconwidth", "iconheight",
                                           "ondoubleclick", "code", "width",     "height",     nullptr};
const char *const kIconAttributes[] = {"text", "src", "href", "ondoubleclick", "code", nullptr};
const char *const kGlobalAttributes[] = {"var", "text", "code", nullptr};
const char *const kTextBoxAttributes[] = {"var", "text", "code", "width", "height", nullptr};
const char *const kFileAttributes[] = {"var", "filter", "mode", "text", "code", "width", "height", nullptr};
const char *const kSizeAttributes[] = {"width", "height", nullptr};
const char *const kTextLogAttributes[] = {"format", "width", "height", nullptr};
const char *const kTabAttributes[] = {"title", "width", "height", nullptr};
const char *const kImageAttributes[] = {"src", "align", "width", "height", nullptr};
const char *const kNoAttributes[] = {nullptr};
// Text inputs and choices
const char *const kPasswordAttributes[] = {"var", "text", "code", "width", "height", nullptr};
const char *const kTextAreaAttributes[] = {"var", "text", "code", "width", "height", nullptr};
const char *const kRadioAttributes[] = {"var", "title", "mode", "code", "width", "height", nullptr};

// Numbers and pickers
const char *const kNumberAttributes[] = {"var",  "min",  "max",   "step",   "decimals",
                                         "text", "code", "width", "height", nullptr};
const char *const kDateAttributes[] = {"var", "format", "text", "code", "width", "height", nullptr};
const char *const kColorAttributes[] = {"var", "text", "code", "width", "height", nullptr};

// Tables
const char *const kTableAttributes[] = {"var",       "columns", "separator", "select", "column",
                                        "ondoubleclick", "code", "width",   "height",    nullptr};

// Progress
const char *const kProgressAttributes[] = {"text", "width", "height", nullptr};

using T = KnownTag;
const KnownTag kKnownTags[] = {
    {"button", T::ClickCommand, kButtonAttributes, nullptr, buildButton, nullptr},
    {"label", T::RunsContent, kLabelAttributes, nullptr, buildLabel, nullptr},
    {"checkbox", T::RunsContent | T::BindsVariable, kCheckBoxAttributes, nullptr, buildCheckBox, checkCheckBox},
    {"combobox", T::RunsContent | T::BindsVariable, kComboBoxAttributes, nullptr, buildComboBox, nullptr},
    {"iconlist", T::RunsContent | T::BindsVariable, kIconListAttributes, "icon", buildIconList, nullptr},
    {"global", T::RunsContent | T::BindsVariable, kGlobalAttributes, nullptr, buildGlobalRow, nullptr},
    {"text", T::RunsContent | T::BindsVariable, kTextBoxAttributes, nullptr, buildTextBox, nullptr},
    {"textbox", T::RunsContent | T::BindsVariable, kTextBoxAttributes, nullptr, buildTextBox, nullptr},
    {"file", T::RunsContent | T::BindsVariable, kFileAttributes, nullptr, buildFileChooser, nullptr},
    // Text inputs and choices
    {"password", T::RunsContent | T::BindsVariable, kPasswordAttributes, nullptr, buildPassword, nullptr},
    {"textarea", T::RunsContent | T::BindsVariable, kTextAreaAttributes, nullptr, buildTextArea, nullptr},
    {"radio", T::RunsContent | T::BindsVariable, kRadioAttributes, nullptr, buildRadio, checkRadio},

    // Numbers and pickers
    {"number", T::RunsContent | T::BindsVariable, kNumberAttributes, nullptr, buildNumber, checkNumber},
    {"slider", T::RunsContent | T::BindsVariable, kNumberAttributes, nullptr, buildSlider, checkNumber},
    {"date", T::RunsContent | T::BindsVariable, kDateAttributes, nullptr, buildDate, checkDate},
    {"color", T::RunsContent | T::BindsVariable, kColorAttributes, nullptr, buildColor, checkColor},

    // Tables
    {"table", T::RunsContent | T::BindsVariable, kTableAttributes, nullptr, buildTable, checkTable},

    {"textlog", 0, kTextLogAttributes, nullptr, buildTextLog, checkTextLog},
    // Progress
    {"progress", 0, kProgressAttributes, nullptr, buildProgress, nullptr},

    {"tab", T::Container, kTabAttributes, nullptr, buildTab, nullptr},
    {"hlayout", T::Container, kSizeAttributes, nullptr, buildHLayout, nullptr},
    {"vlayout", T::Container, kSizeAttributes, nullptr, buildVLayout, nullptr},
    {"scrolllayout", T::Container, kSizeAttributes, nullptr, buildScrollLayout, nullptr},
    {"img", 0, kImageAttributes, nullptr, buildImage, nullptr},
    {"config", T::Container, kNoAttributes, nullptr, buildConfig, nullptr},
    {"note", T::Remark, kNoAttributes, nullptr, nullptr, nullptr},
};
const KnownTag kIconEntry = {"icon", T::RunsContent, kIconAttributes, nullptr, nullptr, nullptr};

} // namespace

bool KnownTag::reads(QByteArrayView attribute) const
{
    for (const char *const *a = attributes; *a; ++a) {
        if (attribute == QByteArrayView(*a))
            return true;
    }
    return false;
}

const KnownTag *knownTag(QByteArrayView name)
{
    for (const KnownTag &tag : kKnownTags) {
        if (name == QByteArrayView(tag.name))
            return &tag;
    }
    return nullptr;
}

std::span<const KnownTag> knownTags() { return kKnownTags; }
const KnownTag &iconEntryTag() { return kIconEntry; }

void buildElement(FormSession &session, const Element *element, QLayout *parent)
{
    if (!element || element->name().isEmpty())
        return;
    const KnownTag *tag = knownTag(element->name());
    if (tag && tag->build)
        tag->build(session, element, parent);
}

void buildConfig(FormSession &session, const Element *element, QLayout *parent)
{
    for (int i = 0; i < element->childCount(); ++i)
        buildElement(session, element->child(i), parent);
}
