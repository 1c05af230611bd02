#include "builder/Builders.h"
#include "builder/FormRefresh.h"
#include "builder/KnownTags.h"
#include "widgets/MTable.h"

#include <QLayout>

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
const char *const kButtonAttributes[] = {"title", "text", "onclick", "code", "width", "height", "exit", nullptr};
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

const char *const kCommonAttributes[] = {"id", "refresh", "every", "enabled", "visible"};

using T = KnownTag;
const KnownTag kKnownTags[] = {
    {"button", T::ClickCommand | T::Widget, kButtonAttributes, nullptr, buildButton, nullptr, reloadButton},
    {"label", T::RunsContent | T::Widget, kLabelAttributes, nullptr, buildLabel, nullptr, reloadLabel},
    {"checkbox", T::RunsContent | T::BindsVariable | T::Widget, kCheckBoxAttributes, nullptr, buildCheckBox, checkCheckBox, reloadCheckBox},
    {"combobox", T::RunsContent | T::BindsVariable | T::Widget, kComboBoxAttributes, nullptr, buildComboBox, nullptr, reloadComboBox},
    {"iconlist", T::RunsContent | T::BindsVariable | T::Widget, kIconListAttributes, "icon", buildIconList, nullptr, reloadIconList},
    {"global", T::RunsContent | T::BindsVariable, kGlobalAttributes, nullptr, buildGlobalRow, nullptr, nullptr},
    {"text", T::RunsContent | T::BindsVariable | T::Widget, kTextBoxAttributes, nullptr, buildTextBox, nullptr, reloadTextBox},
    {"textbox", T::RunsContent | T::BindsVariable | T::Widget, kTextBoxAttributes, nullptr, buildTextBox, nullptr, reloadTextBox},
    {"file", T::RunsContent | T::BindsVariable | T::Widget, kFileAttributes, nullptr, buildFileChooser, nullptr, reloadFileChooser},
    // Text inputs and choices
    {"password", T::RunsContent | T::BindsVariable | T::Widget, kPasswordAttributes, nullptr, buildPassword, nullptr, reloadTextBox},
    {"textarea", T::RunsContent | T::BindsVariable | T::Widget, kTextAreaAttributes, nullptr, buildTextArea, nullptr, reloadTextArea},
    {"radio", T::RunsContent | T::BindsVariable | T::Widget, kRadioAttributes, nullptr, buildRadio, checkRadio, reloadRadio},

    // Numbers and pickers
    {"number", T::RunsContent | T::BindsVariable | T::Widget, kNumberAttributes, nullptr, buildNumber, checkNumber, reloadNumber},
    {"slider", T::RunsContent | T::BindsVariable | T::Widget, kNumberAttributes, nullptr, buildSlider, checkNumber, reloadNumber},
    {"date", T::RunsContent | T::BindsVariable | T::Widget, kDateAttributes, nullptr, buildDate, checkDate, reloadDate},
    {"color", T::RunsContent | T::BindsVariable | T::Widget, kColorAttributes, nullptr, buildColor, checkColor, reloadColor},

    // Tables
    {"table", T::RunsContent | T::BindsVariable | T::Widget, kTableAttributes, nullptr, buildTable, checkTable, reloadTable},

    {"textlog", T::Widget, kTextLogAttributes, nullptr, buildTextLog, checkTextLog, nullptr},
    // Progress
    {"progress", T::Widget, kProgressAttributes, nullptr, buildProgress, nullptr, nullptr},

    {"tab", T::Container, kTabAttributes, nullptr, buildTab, nullptr, nullptr},
    {"hlayout", T::Container, kSizeAttributes, nullptr, buildHLayout, nullptr, nullptr},
    {"vlayout", T::Container, kSizeAttributes, nullptr, buildVLayout, nullptr, nullptr},
    {"scrolllayout", T::Container, kSizeAttributes, nullptr, buildScrollLayout, nullptr, nullptr},
    {"img", T::Widget, kImageAttributes, nullptr, buildImage, nullptr, reloadImage},
    {"config", T::Container, kNoAttributes, nullptr, buildConfig, nullptr, nullptr},
    {"note", T::Remark, kNoAttributes, nullptr, nullptr, nullptr, nullptr},
};
const KnownTag kIconEntry = {"icon", T::RunsContent, kIconAttributes, nullptr, nullptr, nullptr, nullptr};

} // namespace

bool KnownTag::reads(QByteArrayView attribute) const
{
    for (const char *const *a = attributes; *a; ++a) {
        if (attribute == QByteArrayView(*a))
            return true;
    }
    return false;
}

bool KnownTag::accepts(QByteArrayView attribute) const
{
    if (reads(attribute))
        return true;
    for (const char *common : kCommonAttributes) {
        if (attribute == QByteArrayView(common))
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
std::span<const char *const> commonAttributes() { return kCommonAttributes; }
const KnownTag &iconEntryTag() { return kIconEntry; }

void buildElement(FormSession &session, const Element *element, QLayout *parent)
{
    if (!element || element->name().isEmpty())
        return;
    const KnownTag *tag = knownTag(element->name());
    if (!tag || !tag->build)
        return;
    const int before = parent ? parent->count() : 0;
    tag->build(session, element, parent);
    QWidget *widget = nullptr;
    if (tag->has(KnownTag::Widget) && parent && parent->count() > before)
        widget = parent->itemAt(parent->count() - 1)->widget();
    if (widget)
        applyWidgetState(session, element, widget);
    FormRefresh::of(session).add(tag, element, widget);
}

void buildConfig(FormSession &session, const Element *element, QLayout *parent)
{
    for (int i = 0; i < element->childCount(); ++i)
        buildElement(session, element->child(i), parent);
}
