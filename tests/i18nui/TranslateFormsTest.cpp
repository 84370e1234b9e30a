#include "i18n/TranslateForms.h"
#include "i18n/QtText.h"

#include "QtTestApp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace tabulonix {
namespace {

// A widget that paints its own caption and publishes it as a property.
class CaptionedPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
  public:
    using QWidget::QWidget;
    QString caption() const { return caption_; }
    void setCaption(const QString& text) { caption_ = text; }

  private:
    QString caption_;
};

// A list that draws its own entries, like the colour list.
class ExtendedCombo : public QComboBox {
  public:
    using QComboBox::QComboBox;
};

template <class W> W* Add(QWidget* parent, const char* name)
{
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    if (parent->layout())
        parent->layout()->addWidget(w);
    return w;
}

// A window holding one component of every kind, some of them nested in pages and groups.
struct TestForm {
    QApplication& app = test::TestApplication(); // before any widget
    QWidget form;
    QLabel* label;
    QPushButton* button;
    QCheckBox* check;
    QGroupBox* group;
    QGroupBox* radio;
    QRadioButton* first;
    QRadioButton* second;
    QComboBox* combo;
    QComboBox* flags;
    ExtendedCombo* colors;
    QPlainTextEdit* memo;
    QTextEdit* rich;
    QLineEdit* edit;
    QTabWidget* pages;
    QWidget* page;
    CaptionedPanel* panel;
    QDialog* child;
    QLabel* childLabel;

    TestForm()
    {
        form.setObjectName("TestIkkuna");
        form.setWindowTitle("Test window");
        new QVBoxLayout(&form);
        pages = Add<QTabWidget>(&form, "Pages");
        page = new QWidget;
        page->setObjectName("Page1");
        new QVBoxLayout(page);
        pages->addTab(page, "First page");
        group = Add<QGroupBox>(page, "Group");
        group->setTitle("Group title");
        new QVBoxLayout(group);
        label = Add<QLabel>(group, "Label1"); // two levels down
        label->setText("Label text");
        button = Add<QPushButton>(&form, "Button");
        button->setText("Button text");
        button->setToolTip("Button hint");
        check = Add<QCheckBox>(&form, "Check");
        check->setText("Check text");
        radio = Add<QGroupBox>(&form, "Radio");
        radio->setTitle("Choose");
        new QVBoxLayout(radio);
        first = Add<QRadioButton>(radio, "");
        first->setText("One");
        second = Add<QRadioButton>(radio, "");
        second->setText("Two");
        second->setChecked(true);
        combo = Add<QComboBox>(&form, "Combo");
        combo->addItems({"Red", "Green", "Blue"});
        combo->setCurrentIndex(1);
        flags = Add<QComboBox>(&form, "Flags");
        QPixmap flag(16, 16);
        flag.fill(Qt::blue);
        flags->addItem(QIcon(flag), "English");
        colors = Add<ExtendedCombo>(&form, "Colors");
        colors->addItems({"Black", "White"});
        memo = Add<QPlainTextEdit>(&form, "Memo");
        memo->setPlainText("line 0\nline 1\nline 2");
        rich = Add<QTextEdit>(&form, "Rich");
        rich->setPlainText("rich 0\nrich 1");
        edit = Add<QLineEdit>(&form, "Edit");
        edit->setText("typed");
        panel = Add<CaptionedPanel>(&form, "Panel");
        panel->setCaption("Panel caption");
        child = new QDialog(&form);
        child->setObjectName("ChildDialog");
        childLabel = new QLabel("Child label", child);
        childLabel->setObjectName("Label1");
    }
};

TLanguageFile Language(const std::string& text)
{
    return TLanguageFile::Parse(text);
}

TEST(TranslateForms, EveryKindOfProperty)
{
    TestForm t;
    const TLanguageFile file =
        Language("[TestIkkuna]\r\n"
                 "TestIkkuna.Check.Caption=from the first block, never seen\r\n"
                 "[Other]\r\n"
                 "TestIkkuna.Button.Caption=wrong section\r\n"
                 "[testikkuna]\r\n"
                 "TestIkkuna.Caption=Testi-ikkuna\r\n"
                 "  testikkuna.label1.caption   =   Nimiö  \r\n"
                 "TestIkkuna.Button.Caption=Painike\r\n"
                 "TestIkkuna.Button.Hint=Painikkeen vihje\r\n"
                 "TestIkkuna.Group.Caption=Ryhmä\r\n"
                 "TestIkkuna.Page1.Caption=Ensimmäinen sivu\r\n"
                 "TestIkkuna.Radio.Caption=Valitse\r\n"
                 "TestIkkuna.Radio.items[0]=Yksi\r\n"
                 "TestIkkuna.Radio.items[1]=\r\n"
                 "TestIkkuna.Radio.items[2]=no such item\r\n"
                 "TestIkkuna.Combo.items[2]=Sininen\r\n"
                 "TestIkkuna.Flags.items[0]=Englanti\r\n"
                 "TestIkkuna.Colors.items[0]=Musta\r\n"
                 "TestIkkuna.Memo.lines[0]=\r\n"
                 "TestIkkuna.Memo.lines[1]=rivi 1 = yksi\r\n"
                 "TestIkkuna.Memo.lines[3]=beyond the last line\r\n"
                 "TestIkkuna.Rich.lines[1]=rikas 1\r\n"
                 "TestIkkuna.Edit.Caption=single-line boxes have no caption\r\n"
                 "TestIkkuna.Panel.Caption=Paneeli\r\n"
                 "TestIkkuna.Label1.Hint=Nimiön vihje\r\n"
                 "ChildDialog.Label1.Caption=other window\r\n");
    QSignalSpy comboChanges(t.combo, &QComboBox::currentIndexChanged);

    TranslateForms(t.form, &file);

    EXPECT_EQ(t.form.windowTitle(), "Testi-ikkuna");
    EXPECT_EQ(t.label->text(), "Nimiö");
    EXPECT_EQ(t.label->toolTip(), "Nimiön vihje");
    EXPECT_EQ(t.button->text(), "Painike");
    EXPECT_EQ(t.button->toolTip(), "Painikkeen vihje");
    EXPECT_EQ(t.check->text(), "Check text") << "only the last block of a section counts";
    EXPECT_EQ(t.group->title(), "Ryhmä");
    EXPECT_EQ(t.pages->tabText(0), "Ensimmäinen sivu");
    EXPECT_EQ(t.radio->title(), "Valitse");
    EXPECT_EQ(t.first->text(), "Yksi");
    EXPECT_EQ(t.second->text(), "Two") << "an empty item value leaves the item";
    EXPECT_TRUE(t.second->isChecked()) << "a radio group keeps its selection";
    EXPECT_EQ(t.combo->itemText(0), "Red");
    EXPECT_EQ(t.combo->itemText(2), "Sininen");
    EXPECT_EQ(t.combo->currentIndex(), -1) << "replacing items drops the selection";
    EXPECT_EQ(comboChanges.count(), 0) << "translation runs no change handler";
    EXPECT_EQ(t.flags->itemText(0), "English") << "a list with icons is not translated";
    EXPECT_EQ(t.colors->itemText(0), "Black") << "an extended list is not translated";
    EXPECT_EQ(t.memo->toPlainText(), "\nrivi 1 = yksi\nline 2");
    EXPECT_EQ(t.rich->toPlainText(), "rich 0\nrikas 1");
    EXPECT_EQ(t.edit->text(), "typed");
    EXPECT_EQ(t.panel->caption(), "Paneeli");
    EXPECT_EQ(t.childLabel->text(), "Child label") << "a child window translates itself";
}

TEST(TranslateForms, EmptyCaptionAndSentinelLeaveTextsAlone)
{
    TestForm t;
    const TLanguageFile file = Language("[TestIkkuna]\n"
                                        "TestIkkuna.Caption=\n"
                                        "TestIkkuna.Label1.Caption=\n"
                                        "TestIkkuna.Button.Hint=\n"
                                        "TestIkkuna.Memo.lines[2]=fsdef\n"
                                        "TestIkkuna.Combo.items[0]=\n");
    TranslateForms(t.form, &file);
    EXPECT_EQ(t.form.windowTitle(), "Test window");
    EXPECT_EQ(t.label->text(), "Label text");
    EXPECT_EQ(t.button->toolTip(), "Button hint");
    EXPECT_EQ(t.memo->toPlainText(), "line 0\nline 1\nline 2");
    EXPECT_EQ(t.combo->currentIndex(), 1) << "no item replaced, selection kept";
}

TEST(TranslateForms, NothingWithoutALanguageFile)
{
    TestForm t;
    SetCurrentLanguageFile(nullptr);
    TranslateForms(t.form);
    EXPECT_EQ(t.label->text(), "Label text");

    SetCurrentLanguageFile(std::make_shared<const TLanguageFile>(
        Language("[TestIkkuna]\nTestIkkuna.Label1.Caption=Current\n")));
    TranslateForms(t.form);
    EXPECT_EQ(t.label->text(), "Current");
    SetCurrentLanguageFile(nullptr);
}

TEST(TranslateForms, EmptyMultiLineBoxHasNoLines)
{
    TestForm t;
    t.memo->clear();
    const TLanguageFile file = Language("[TestIkkuna]\nTestIkkuna.Memo.lines[0]=filled\n");
    TranslateForms(t.form, &file);
    EXPECT_TRUE(t.memo->toPlainText().isEmpty());
}

TEST(AssignTextProperty, MapsPropertyNamesToKinds)
{
    TestForm t;
    AssignTextProperty(*t.check, "caption", "Valinta"); // letter case of the name ignored
    EXPECT_EQ(t.check->text(), "Valinta");
    AssignTextProperty(*t.check, "HINT", "Vihje");
    EXPECT_EQ(t.check->toolTip(), "Vihje");
    AssignTextProperty(*t.check, "Caption", "");
    EXPECT_EQ(t.check->text(), "Valinta");
    AssignTextProperty(*t.edit, "Caption", "no caption here");
    EXPECT_EQ(t.edit->text(), "typed");
    AssignTextProperty(*t.memo, "Caption", "nor here");
    EXPECT_EQ(t.memo->toPlainText(), "line 0\nline 1\nline 2");
    AssignTextProperty(*t.check, "Text", "unknown property");
    EXPECT_EQ(t.check->text(), "Valinta");
    AssignTextProperty(t.form, "Caption", "Otsikko");
    EXPECT_EQ(t.form.windowTitle(), "Otsikko");
}

TEST(QtText, StringsAndFontsRoundTrip)
{
    test::TestApplication();
    const std::string text = "Kääntäjä – ✓";
    EXPECT_EQ(FromQString(ToQString(text)), text);
    EXPECT_EQ(ToQString(text).size(), 12);
    EXPECT_EQ(FromQString(ToQString("")), "");

    const TFontSpec spec{"MS Sans Serif", 14, true, false, true, true};
    const QFont font = ToQFont(spec);
    EXPECT_EQ(font.family(), "MS Sans Serif");
    EXPECT_EQ(font.pointSize(), 14);
    EXPECT_TRUE(font.bold() && !font.italic() && font.underline() && font.strikeOut());
    EXPECT_EQ(FromQFont(font), spec);

    QFont pixels("Arial");
    pixels.setPixelSize(16);
    EXPECT_EQ(FromQFont(pixels).size, 12);
    EXPECT_GT(ToQFont(TFontSpec{"Arial", 0}).pointSize(), 0) << "a broken size keeps Qt's";
}

TEST(ApplyInterfaceFont, WindowAndLabelsByTheirRules)
{
    TestForm t;
    QFont title("Arial");
    title.setPointSize(12);
    title.setBold(true);
    t.label->setFont(title);
    QFont blue("Arial");
    blue.setPointSize(8);
    blue.setBold(true);
    auto* status = Add<QLabel>(&t.form, "Status");
    status->setFont(blue);

    const TFontSpec chosen{"Verdana", 14, false, true, false, false};
    ApplyInterfaceFont(t.form, chosen,
                       {{"Label1", LabelFontPart::FaceAndCharset},
                        {"Status", LabelFontPart::FaceCharsetAndSize},
                        {"Missing", LabelFontPart::FaceCharsetStyleAndSize}});

    EXPECT_EQ(FromQFont(t.form.font()), chosen);
    EXPECT_EQ(FromQFont(t.check->font()), chosen) << "plain controls inherit the window's font";
    EXPECT_EQ(FromQFont(t.label->font()), (TFontSpec{"Verdana", 12, true, false, false, false}));
    EXPECT_EQ(FromQFont(status->font()), (TFontSpec{"Verdana", 14, true, false, false, false}));

    // A second choice replaces the first in the same way.
    const TFontSpec later{"Tahoma", 9};
    ApplyInterfaceFont(t.form, later, {{"Label1", LabelFontPart::FaceAndCharset}});
    EXPECT_EQ(FromQFont(t.label->font()), (TFontSpec{"Tahoma", 12, true, false, false, false}));
}

} // namespace
} // namespace tabulonix

#include "TranslateFormsTest.moc"
