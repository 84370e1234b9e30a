// The shipped language files against the windows they translate: every key names a window,
// a component and a property that exist, and every English text a window shows at creation
// has its translation.
#include "WizardFixture.h"

#include "i18n/IniLang.h"
#include "i18n/QtText.h"
#include "i18n/TranslateForms.h"
#include "shell/About.h"
#include "shell/Options.h"
#include "ui/ImageIkkuna.h"
#include "ui/Progress.h"
#include "update/Update.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>

#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

namespace tabulonix::test {
namespace {

const char* const kShipped[] = {"Finnish", "German", "French", "Spanish"};

// Components whose text the program writes while it runs (values, counts, file names);
// what they show at creation is a placeholder, not a text to translate.
const std::set<std::string> kValueLabels = {
    "PAAIKKUNA.HTMLFILE",       "PAAIKKUNA.LABEL31",       "PAAIKKUNA.COMPRESSION",
    "PAAIKKUNA.PNGCOMPRESSION", "PAAIKKUNA.LABEL20",       "PAAIKKUNA.LABEL32",
    "PROGRESSIKKUNA.EDISTYS",   "PROGRESSIKKUNA.FILENAME", "OPTIONSIKKUNA.LANGDIR",
    "OPTIONSIKKUNA.FONTLABEL",  "ABOUTBOX.VERSION",        "ABOUTBOX.WINDOWS",
    "ABOUTBOX.MEMORY",          "ABOUTBOX.PRODUCTNAME",    "ABOUTBOX.CONTACT",
    "ABOUTBOX.OUTLABEL4",       "ABOUTBOX.OUTLABEL5",      "ABOUTBOX.OUTLABEL7",
    "ABOUTBOX.LABEL12",         "ABOUTBOX.LABEL6",
};

LanguageFilePtr Shipped(const std::string& language)
{
    return OpenLanguageFileAt(std::string(TABULONIX_LANGUAGES_DIR "/") + language + ".txt");
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A tab page, whose caption is its tab's text.
QTabWidget* TabOf(const QWidget& w)
{
    QWidget* stack = w.parentWidget();
    return stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
}

// Format names, numbers and signs read the same in every language.
bool HasWords(const QString& text)
{
    for (QChar c : text)
        if (c.isLower())
            return true;
    return false;
}

bool IsRadioItem(const QWidget& w)
{
    return qobject_cast<const QRadioButton*>(&w) && qobject_cast<QGroupBox*>(w.parentWidget());
}

// The texts a window shows at creation, by their language-file key (upper case), as an
// independent reading of which property of which kind of widget a key means.
std::map<std::string, QString> TextsOf(QWidget& form)
{
    std::map<std::string, QString> texts;
    const std::string prefix = Upper(FromQString(form.objectName())) + ".";
    if (!form.windowTitle().isEmpty())
        texts[prefix + "CAPTION"] = form.windowTitle();
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->window() != &form)
            continue;
        const std::string key = prefix + Upper(FromQString(w->objectName())) + ".";
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(w))
            caption = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(w); button && !IsRadioItem(*w))
            caption = button->text();
        else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            caption = group->title();
            const std::vector<QRadioButton*> items = RadioGroupItems(*group);
            for (size_t i = 0; i < items.size(); ++i)
                texts[key + "ITEMS[" + std::to_string(i) + "]"] = items[i]->text();
        } else if (auto* combo = qobject_cast<QComboBox*>(w); combo && IsPlainComboBox(*combo)) {
            for (int i = 0; i < combo->count(); ++i)
                texts[key + "ITEMS[" + std::to_string(i) + "]"] = combo->itemText(i);
        }
        if (QTabWidget* tabs = TabOf(*w); tabs && !tabs->tabBar()->isHidden())
            caption = tabs->tabText(tabs->indexOf(w));
        if (!caption.isEmpty())
            texts[key + "CAPTION"] = caption;
        if (!w->toolTip().isEmpty())
            texts[key + "HINT"] = w->toolTip();
    }
    return texts;
}

// Whether `key` ("FORM.COMPONENT.PROPERTY", upper case) names a property the component has.
bool NamesAProperty(QWidget& form, const std::string& key, std::string& why)
{
    std::smatch m;
    static const std::regex pattern(
        R"(^([A-Z0-9_]+)(?:\.([A-Z0-9_]+))?\.(CAPTION|HINT|ITEMS\[(\d+)\]|LINES\[(\d+)\])$)");
    if (!std::regex_match(key, m, pattern)) {
        why = "not a window, component and property";
        return false;
    }
    if (m[1].str() != Upper(FromQString(form.objectName()))) {
        why = "another window's name";
        return false;
    }
    if (!m[2].matched)
        return m[3].str() == "CAPTION" || m[3].str() == "HINT";
    QWidget* component = nullptr;
    for (QWidget* w : form.findChildren<QWidget*>())
        if (Upper(FromQString(w->objectName())) == m[2].str())
            component = w;
    if (!component) {
        why = "no component " + m[2].str();
        return false;
    }
    const std::string property = m[3].str();
    if (property == "HINT")
        return true;
    if (property == "CAPTION") {
        if (qobject_cast<QLabel*>(component) || qobject_cast<QAbstractButton*>(component) ||
            qobject_cast<QGroupBox*>(component) || TabOf(*component))
            return true;
        why = "a component without a caption";
        return false;
    }
    if (m[4].matched) {
        const int i = std::stoi(m[4].str());
        if (auto* combo = qobject_cast<QComboBox*>(component); combo && IsPlainComboBox(*combo))
            return i < combo->count() || (why = "no such item", false);
        if (auto* group = qobject_cast<QGroupBox*>(component))
            return i < static_cast<int>(RadioGroupItems(*group).size()) ||
                   (why = "no such item", false);
        why = "a component without items";
        return false;
    }
    if (qobject_cast<QPlainTextEdit*>(component) || qobject_cast<QTextEdit*>(component))
        return true;
    why = "a component without lines";
    return false;
}

// Every key of the file's section "FORM" as "FORM.COMPONENT.PROPERTY" with its value.
std::map<std::string, std::string> SectionEntries(const TLanguageFile& file,
                                                  const std::string& form)
{
    std::map<std::string, std::string> entries;
    std::istringstream dump(file.Dump());
    std::string section;
    for (std::string line; std::getline(dump, line);) {
        if (!line.empty() && line.front() == '[')
            section = line.substr(1, line.size() - 2);
        else if (section == form && line.find('=') != std::string::npos)
            entries[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
    return entries;
}

std::set<std::string> Sections(const TLanguageFile& file)
{
    std::set<std::string> sections;
    std::istringstream dump(file.Dump());
    for (std::string line; std::getline(dump, line);)
        if (!line.empty() && line.front() == '[')
            sections.insert(line.substr(1, line.size() - 2));
    return sections;
}

class ShippedTranslations : public WizardFixture {
  protected:
    GeneralSettings general;
    UpdateSettings update;
    int updateStatus = 0;

    // Every window the language files translate, built in English.
    std::vector<std::unique_ptr<QWidget>> Windows()
    {
        WriteOptions();
        std::vector<std::unique_ptr<QWidget>> windows;
        windows.push_back(Start());
        windows.push_back(std::make_unique<TOptionsIkkuna>());
        windows.push_back(std::make_unique<TKuvaIkkuna>());
        windows.push_back(std::make_unique<TProgressIkkuna>(TFormSetup{}));
        windows.push_back(std::make_unique<TAboutBox>(TFormSetup{}, SystemFacts{}, "1.2"));
        windows.push_back(
            std::make_unique<TUpdateIkkuna>(general, update, TFontSpec{}, updateStatus));
        return windows;
    }
};

TEST_F(ShippedTranslations, EveryKeyNamesAnExistingComponentAndProperty)
{
    auto windows = Windows();
    for (const char* language : kShipped) {
        SCOPED_TRACE(language);
        LanguageFilePtr file = Shipped(language);
        ASSERT_NE(file, nullptr);
        std::set<std::string> sections = Sections(*file);
        sections.erase("MISC"); // the messages
        for (auto& window : windows) {
            const std::string form = Upper(FromQString(window->objectName()));
            EXPECT_TRUE(sections.erase(form)) << "no section for " << form;
            for (const auto& [key, value] : SectionEntries(*file, form)) {
                std::string why;
                EXPECT_TRUE(NamesAProperty(*window, key, why)) << key << ": " << why;
            }
        }
        EXPECT_TRUE(sections.empty()) << "a section for no window: " << *sections.begin();
    }
}

TEST_F(ShippedTranslations, EveryEnglishTextOfEveryWindowIsTranslated)
{
    auto windows = Windows();
    for (const char* language : kShipped) {
        SCOPED_TRACE(language);
        LanguageFilePtr file = Shipped(language);
        ASSERT_NE(file, nullptr);
        for (auto& window : windows) {
            const std::string form = Upper(FromQString(window->objectName()));
            const std::map<std::string, std::string> entries = SectionEntries(*file, form);
            for (const auto& [key, english] : TextsOf(*window)) {
                if (kValueLabels.count(key.substr(0, key.rfind('.'))) || !HasWords(english))
                    continue;
                const auto entry = entries.find(key);
                if (entry == entries.end()) {
                    ADD_FAILURE() << key << " (\"" << FromQString(english) << "\") is missing";
                    continue;
                }
                // A long text given back in English was not translated.
                if (english.size() >= 16) {
                    EXPECT_NE(entry->second, FromQString(english)) << key;
                }
            }
        }
    }
}

TEST_F(ShippedTranslations, TranslatedWindowsShowTheFilesTexts)
{
    auto windows = Windows();
    LanguageFilePtr file = Shipped("German");
    ASSERT_NE(file, nullptr);
    for (auto& window : windows) {
        const std::string form = Upper(FromQString(window->objectName()));
        const std::map<std::string, std::string> entries = SectionEntries(*file, form);
        TranslateForms(*window, file.get());
        for (const auto& [key, shown] : TextsOf(*window)) {
            const auto entry = entries.find(key);
            if (entry != entries.end() && !entry->second.empty()) {
                EXPECT_EQ(FromQString(shown), entry->second) << key;
            }
        }
    }
}

} // namespace
} // namespace tabulonix::test
