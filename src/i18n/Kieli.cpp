#include "i18n/Kieli.h"

#include "i18n/InterfaceFont.h"
#include "i18n/QtText.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tabulonix {

QPixmap FlagPixmap(const TBitmap& flag, bool transparentBackground)
{
    const int w = flag.Width(), h = flag.Height();
    if (w <= 0 || h <= 0)
        return {};
    QImage image(w, h, QImage::Format_ARGB32);
    const TColor clear = flag.TransparentColor();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const TColor c = flag.Pixel(x, y);
            const int alpha = transparentBackground && c == clear ? 0 : 255;
            image.setPixel(x, y, qRgba(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, alpha));
        }
    }
    return QPixmap::fromImage(image);
}

void FillLanguageCombo(QComboBox& combo, const LanguageList& list)
{
    combo.clear();
    combo.setIconSize(QSize(16, 16));
    for (const LanguageEntry& entry : list.entries) {
        QIcon icon;
        if (entry.icon >= 0 && entry.icon < static_cast<int>(list.icons.size()))
            icon = QIcon(FlagPixmap(list.icons[entry.icon], entry.icon <= kBlankFlagIcon));
        combo.addItem(icon, ToQString(entry.text));
    }
}

TKieliIkkuna::TKieliIkkuna(const std::string& languageFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("KieliIkkuna"));
    setWindowTitle(QStringLiteral("Choose language"));
    // Its own design font: the interface font is not applied to this window.
    TFontSpec design;
    design.name = "MS Sans Serif";
    design.size = 8;
    setFont(ToQFont(design));

    const std::string folder = languageFolder.empty() ? LanguageFolder() : languageFolder;

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::StyledPanel);
    Bevel1->setFrameShadow(QFrame::Sunken);

    Label2 = new QLabel(QStringLiteral("You can change language anytime you want by going to "
                                       "Options."),
                        Bevel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);

    Label1 = new QLabel(QStringLiteral("Choose language:"), Bevel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Language = new QComboBox(Bevel1);
    Language->setObjectName(QStringLiteral("Language"));
    Language->setEditable(false);
    Language->setMaxVisibleItems(8);
    Language->setAccessibleName(Label1->text());
    Language->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Label1->setBuddy(Language);

    Label3 = new QLabel(QStringLiteral("Language dir:"), Bevel1);
    Label3->setObjectName(QStringLiteral("Label3"));
    LangDir = new QLabel(ToQString(folder), Bevel1);
    LangDir->setObjectName(QStringLiteral("LangDir"));
    LangDir->setTextFormat(Qt::PlainText);
    LangDir->setWordWrap(true);
    LangDir->setToolTip(LangDir->text());
    LangDir->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    LangDir->setAccessibleName(Label3->text());
    LangDir->setMinimumWidth(200);

    auto* grid = new QGridLayout(Bevel1);
    grid->setContentsMargins(12, 10, 12, 12);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    grid->addWidget(Label2, 0, 0, 1, 2);
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(Language, 1, 1);
    grid->addWidget(Label3, 2, 0, Qt::AlignTop);
    grid->addWidget(LangDir, 2, 1);
    grid->setColumnStretch(1, 1);

    Ok = new QPushButton(QStringLiteral("&Ok"), this);
    Ok->setObjectName(QStringLiteral("Ok"));
    Ok->setToolTip(QStringLiteral("Ok, use the selected language"));
    Ok->setDefault(true);
    Ok->setAutoDefault(true);
    connect(Ok, &QPushButton::clicked, this, &TKieliIkkuna::OkClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Ok);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Bevel1);
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);
    Bevel1->setMinimumWidth(337);

    list_ = BuildLanguageList(folder, FlagSize::AsLoaded);
    FillLanguageCombo(*Language, list_);
    Language->setCurrentIndex(0);
    Language->setFocus();
}

int TKieliIkkuna::SelectedIndex() const
{
    return Language->currentIndex();
}

std::string TKieliIkkuna::SelectedName() const
{
    return FromQString(Language->currentText());
}

void TKieliIkkuna::OkClick()
{
    accept();
}

void TKieliIkkuna::reject()
{
    accept();
}

LanguageChoice ChooseLanguage(const std::string& languageFolder, QWidget* parent)
{
    TKieliIkkuna chooser(languageFolder, parent);
    chooser.exec();
    LanguageChoice choice;
    choice.index = std::max(0, chooser.SelectedIndex());
    choice.name = chooser.SelectedName();
    return choice;
}

} // namespace tabulonix
