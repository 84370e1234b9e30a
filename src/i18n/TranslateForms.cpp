#include "i18n/TranslateForms.h"

#include "i18n/QtText.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <typeinfo>

namespace tabulonix {

namespace {

constexpr const char* kUnchangedLine = "fsdef";

bool IsProperty(const std::string& property, const char* name)
{
    return QString::fromStdString(property).compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// Components are the objects the program named; Qt's own helpers ("qt_...") are not.
bool IsComponent(const QObject& object)
{
    const QString name = object.objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

// The tab widget that shows `page` as one of its tabs, or null.
QTabWidget* TabOwner(QWidget& page)
{
    auto* stack = qobject_cast<QStackedWidget*>(page.parentWidget());
    if (!stack)
        return nullptr;
    auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
    return tabs && tabs->indexOf(&page) >= 0 ? tabs : nullptr;
}

bool AssignCaption(QObject& component, const QString& text)
{
    if (auto* label = qobject_cast<QLabel*>(&component)) {
        label->setText(text);
        return true;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(&component)) {
        button->setText(text);
        return true;
    }
    if (auto* group = qobject_cast<QGroupBox*>(&component)) {
        group->setTitle(text);
        return true;
    }
    if (auto* widget = qobject_cast<QWidget*>(&component)) {
        if (QTabWidget* tabs = TabOwner(*widget)) {
            tabs->setTabText(tabs->indexOf(widget), text);
            return true;
        }
        if (widget->isWindow()) {
            widget->setWindowTitle(text);
            return true;
        }
    }
    // A custom widget that paints its own caption declares it as a property.
    const QMetaObject* meta = component.metaObject();
    const int index = meta->indexOfProperty("caption");
    if (index >= 0 && meta->property(index).isWritable())
        return meta->property(index).write(&component, text);
    return false;
}

QTextDocument* MultiLineDocument(QObject& component)
{
    if (auto* plain = qobject_cast<QPlainTextEdit*>(&component))
        return plain->document();
    if (auto* rich = qobject_cast<QTextEdit*>(&component))
        return rich->document();
    return nullptr;
}

void TranslateLines(QTextDocument& document, const TLanguageFile& file, const std::string& section,
                    const std::string& prefix)
{
    // An empty box has no lines (a document always holds one empty block).
    const int count = document.isEmpty() ? 0 : document.blockCount();
    for (int i = 0; i < count; ++i) {
        const std::string value =
            file.ReadString(section, prefix + ".lines[" + std::to_string(i) + "]", kUnchangedLine);
        if (value == kUnchangedLine)
            continue;
        QTextCursor cursor(document.findBlockByNumber(i));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(ToQString(value));
    }
}

std::string ItemValue(const TLanguageFile& file, const std::string& section,
                      const std::string& prefix, int i)
{
    return file.ReadString(section, prefix + ".items[" + std::to_string(i) + "]", "");
}

void TranslateComponent(QObject& component, const TLanguageFile& file, const std::string& section)
{
    const std::string prefix = section + "." + FromQString(component.objectName());
    const std::string caption = file.ReadString(section, prefix + ".Caption", "");
    if (!caption.empty())
        AssignTextProperty(component, "Caption", ToQString(caption));
    const std::string hint = file.ReadString(section, prefix + ".Hint", "");
    if (!hint.empty())
        AssignTextProperty(component, "Hint", ToQString(hint));

    if (QTextDocument* document = MultiLineDocument(component)) {
        TranslateLines(*document, file, section, prefix);
        return;
    }
    if (auto* group = qobject_cast<QGroupBox*>(&component)) {
        // A radio group keeps its selection: only the texts change.
        const auto items = RadioGroupItems(*group);
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            const std::string value = ItemValue(file, section, prefix, i);
            if (!value.empty())
                items[i]->setText(ToQString(value));
        }
        return;
    }
    if (IsPlainComboBox(component)) {
        auto& combo = static_cast<QComboBox&>(component);
        // Replacing a list's items drops its selection. No change handler runs for it:
        // the caller sets the selections again.
        const QSignalBlocker quiet(combo);
        bool replaced = false;
        for (int i = 0; i < combo.count(); ++i) {
            const std::string value = ItemValue(file, section, prefix, i);
            if (value.empty())
                continue;
            combo.setItemText(i, ToQString(value));
            replaced = true;
        }
        if (replaced)
            combo.setCurrentIndex(-1);
    }
}

void TranslateChildren(QObject& parent, const TLanguageFile& file, const std::string& section)
{
    for (QObject* child : parent.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && widget->isWindow())
            continue; // another window, translated by its own class
        if (IsComponent(*child))
            TranslateComponent(*child, file, section);
        TranslateChildren(*child, file, section);
    }
}

QFont LabelFont(const QFont& own, const TFontSpec& interfaceFont, LabelFontPart part)
{
    return ToQFont(tabulonix::ApplyInterfaceFont(FromQFont(own), interfaceFont, part));
}

} // namespace

void TranslateForms(QWidget& form)
{
    LanguageFilePtr file = CurrentLanguageFile();
    TranslateForms(form, file.get());
}

void TranslateForms(QWidget& form, const TLanguageFile* file)
{
    if (!file)
        return;
    const std::string section = FromQString(form.objectName());
    const std::string title = file->ReadString(section, section + ".Caption", "");
    if (!title.empty())
        form.setWindowTitle(ToQString(title));
    TranslateChildren(form, *file, section);
}

void AssignTextProperty(QObject& component, const std::string& property, const QString& text)
{
    if (text.isEmpty())
        return;
    if (IsProperty(property, "Caption")) {
        AssignCaption(component, text);
    } else if (IsProperty(property, "Hint")) {
        if (auto* widget = qobject_cast<QWidget*>(&component))
            widget->setToolTip(text);
    }
}

std::vector<QRadioButton*> RadioGroupItems(QWidget& group)
{
    std::vector<QRadioButton*> items;
    for (QObject* child : group.children())
        if (auto* button = qobject_cast<QRadioButton*>(child))
            items.push_back(button);
    return items;
}

bool IsPlainComboBox(const QObject& component)
{
    const auto* combo = qobject_cast<const QComboBox*>(&component);
    if (!combo || typeid(*combo) != typeid(QComboBox))
        return false;
    for (int i = 0; i < combo->count(); ++i)
        if (!combo->itemIcon(i).isNull())
            return false;
    return true;
}

void ApplyInterfaceFont(QWidget& form, const TFontSpec& font,
                        const std::vector<LabelFontRule>& labels)
{
    // The labels' own fonts are taken before the window's new font reaches them.
    std::vector<std::pair<QWidget*, QFont>> labelFonts;
    for (const LabelFontRule& rule : labels) {
        if (auto* label = form.findChild<QWidget*>(QString::fromLatin1(rule.label)))
            labelFonts.emplace_back(label, LabelFont(label->font(), font, rule.part));
    }
    form.setFont(ToQFont(font));
    for (auto& [label, labelFont] : labelFonts)
        label->setFont(labelFont);
}

} // namespace tabulonix
