// The wizard's widgets, page by page. Handlers and start-up live in PaaIkkuna.cpp.
#include "shell/PaaIkkuna.h"

#include "i18n/QtText.h"
#include "shell/ColorBox.h"
#include "ui/Pictures.h"
#include "ui/PreviewIkkuna.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tabulonix {

namespace {

// The window's design font; InterfaceFont replaces it at start-up.
const TFontSpec kDesignFont{"MS Sans Serif", 8};

template <class W> W* Named(QWidget* parent, const char* name)
{
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* Caption(QWidget* parent, const char* name, const char* text, bool wrap = false)
{
    auto* label = Named<QLabel>(parent, name);
    label->setText(QString::fromUtf8(text));
    label->setWordWrap(wrap);
    return label;
}

void SetTextColor(QWidget& widget, const QColor& color)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, color);
    widget.setPalette(palette);
}

// A label with a font of its own: the design font with `bold`, or another face.
void OwnFont(QLabel& label, TFontSpec font, const QColor& color)
{
    label.setFont(ToQFont(font));
    SetTextColor(label, color);
}

QGroupBox* Group(QWidget* parent, const char* name, const char* title)
{
    auto* group = Named<QGroupBox>(parent, name);
    group->setTitle(QString::fromUtf8(title));
    return group;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* text, bool checked)
{
    auto* box = Named<QCheckBox>(parent, name);
    box->setText(QString::fromUtf8(text));
    box->setChecked(checked);
    return box;
}

QToolButton* FlatButton(QWidget* parent, const char* name, const char* text, const char* hint)
{
    auto* button = Named<QToolButton>(parent, name);
    button->setText(QString::fromUtf8(text));
    button->setToolTip(QString::fromUtf8(hint));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QComboBox* List(QWidget* parent, const char* name, std::initializer_list<const char*> items)
{
    auto* combo = Named<QComboBox>(parent, name);
    for (const char* item : items)
        combo->addItem(QString::fromUtf8(item));
    return combo;
}

// An up-down control with its field: the spin box carries the up-down's name, its text
// field the field's name. Range and start value come from the settings table.
QSpinBox* UpDownField(QWidget* parent, const char* upDown, const char* field, const char* key)
{
    auto* spin = Named<QSpinBox>(parent, upDown);
    spin->findChild<QLineEdit*>()->setObjectName(QString::fromLatin1(field));
    const SettingKey* setting = FindSettingKey("Main", key);
    spin->setRange(setting->minValue, setting->maxValue);
    spin->setValue(std::get<int>(DefaultValue(*setting)));
    return spin;
}

QSlider* Slider(QWidget* parent, const char* name, const char* key, int tickInterval)
{
    auto* slider = Named<QSlider>(parent, name);
    slider->setOrientation(Qt::Horizontal);
    const SettingKey* setting = FindSettingKey("Main", key);
    slider->setRange(setting->minValue, setting->maxValue);
    slider->setValue(std::get<int>(DefaultValue(*setting)));
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(tickInterval);
    slider->setPageStep(tickInterval);
    return slider;
}

// A caption label beside its control in a grid row; the label names the control for
// keyboard and screen-reader users.
void Row(QGridLayout& grid, int row, QLabel* label, QWidget* control)
{
    grid.addWidget(label, row, 0);
    grid.addWidget(control, row, 1);
    label->setBuddy(control);
}

} // namespace

void TPaaIkkuna::BuildPages()
{
    setObjectName("PaaIkkuna");
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());
    setFont(ToQFont(kDesignFont));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    AlusPaneeli = Named<QWidget>(this, "AlusPaneeli");
    outer->addWidget(AlusPaneeli);
    auto* main = new QVBoxLayout(AlusPaneeli);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);

    VelhoVaihe = Named<QTabWidget>(AlusPaneeli, "VelhoVaihe");
    VelhoVaihe->tabBar()->hide();
    VelhoVaihe->setDocumentMode(true);
    main->addWidget(VelhoVaihe, 1);
    QWidget* (TPaaIkkuna::*builders[])() = {&TPaaIkkuna::BuildPage1, &TPaaIkkuna::BuildPage2,
                                            &TPaaIkkuna::BuildPage3, &TPaaIkkuna::BuildPage4,
                                            &TPaaIkkuna::BuildPage5, &TPaaIkkuna::BuildPage6};
    for (auto build : builders) {
        QWidget* page = (this->*build)();
        VelhoVaihe->addTab(page, page->objectName());
    }
    main->addWidget(BuildButtonBar());
    resize(593, 537);
}

QWidget* TPaaIkkuna::BuildPage1()
{
    Vaihe1 = Named<QWidget>(nullptr, "Vaihe1");
    auto* layout = new QHBoxLayout(Vaihe1);
    VelhoKuva = Named<QLabel>(Vaihe1, "VelhoKuva");
    VelhoKuva->setPixmap(WizardPicture());
    VelhoKuva->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(VelhoKuva, 0, Qt::AlignTop);

    auto* right = new QVBoxLayout;
    layout->addLayout(right, 1);
    // The title and its white shadow share one cell, the shadow 4 pixels right and 5 lower
    // and beneath the title.
    auto* title = new QGridLayout;
    Label8 = Caption(Vaihe1, "Label8", "Welcome to Tabulonix!", true);
    Label1 = Caption(Vaihe1, "Label1", "Welcome to Tabulonix!", true);
    const TFontSpec titleFont{"Arial", 12, true};
    OwnFont(*Label8, titleFont, Qt::white);
    OwnFont(*Label1, titleFont, Qt::blue);
    Label8->setContentsMargins(4, 5, 0, 0);
    Label1->setContentsMargins(0, 0, 4, 5);
    title->addWidget(Label8, 0, 0);
    title->addWidget(Label1, 0, 0);
    right->addLayout(title);

    Label2 = Caption(Vaihe1, "Label2",
                     "Tabulonix is actually a six stepped easy-to-use wizard which helps you to "
                     "convert images to another format or create thumbnails from images. Tabulonix "
                     "is very easy to use, but still there is a help-file shipped with it. Press "
                     "F1 anytime to go there.",
                     true);
    right->addWidget(Label2);
    ToDo = Group(Vaihe1, "ToDo", "What would you like to do?");
    auto* items = new QVBoxLayout(ToDo);
    ToDoItems = new QButtonGroup(ToDo);
    const char* tasks[] = {"I would like to make thumbnails  ",
                           "I would just like to convert images to different format "};
    for (int i = 0; i < 2; ++i) {
        auto* item = new QRadioButton(QString::fromLatin1(tasks[i]), ToDo);
        ToDoItems->addButton(item, i);
        items->addWidget(item);
    }
    ToDoItems->button(0)->setChecked(true);
    right->addWidget(ToDo);
    right->addStretch(1);
    return Vaihe1;
}

QWidget* TPaaIkkuna::BuildPage2()
{
    Vaihe2 = Named<QWidget>(nullptr, "Vaihe2");
    auto* layout = new QVBoxLayout(Vaihe2);
    Label3 = Caption(Vaihe2, "Label3",
                     "Source folder is the folder where the images you want to be thumbnailed or "
                     "converted are located. By clicking the Browse-button or by typing manually "
                     "you can select folders. Non-existing folder will be created.",
                     true);
    Label4 = Caption(Vaihe2, "Label4",
                     "Destination folder is the folder where you want the processed images to be "
                     "saved.",
                     true);
    layout->addWidget(Label3);
    layout->addWidget(Label4);

    DirGroup = Group(Vaihe2, "DirGroup", "Folder information");
    auto* grid = new QGridLayout(DirGroup);
    const TFontSpec bold{kDesignFont.name, kDesignFont.size, true};
    Label5 = Caption(DirGroup, "Label5", "Source folder:");
    OwnFont(*Label5, bold, Qt::blue);
    SDir = Named<QLineEdit>(DirGroup, "SDir");
    SDir->setReadOnly(true);
    BrowseSButton = FlatButton(DirGroup, "BrowseSButton", "Browse", "Browse for source folder...");
    Label6 = Caption(DirGroup, "Label6", "Destination folder:");
    OwnFont(*Label6, bold, Qt::blue);
    DDir = Named<QLineEdit>(DirGroup, "DDir");
    BrowseDButton =
        FlatButton(DirGroup, "BrowseDButton", "Browse", "Browse for destination folder...");
    Overwrite = Check(DirGroup, "Overwrite", "Overwrite existing destination files", true);
    Overwrite->setToolTip("If unchecked files will be renamed if existing file of the same name "
                          "found");
    grid->addWidget(Label5, 0, 0, 1, 2);
    grid->addWidget(SDir, 1, 0);
    grid->addWidget(BrowseSButton, 1, 1);
    grid->addWidget(Label6, 2, 0, 1, 2);
    grid->addWidget(DDir, 3, 0);
    grid->addWidget(BrowseDButton, 3, 1);
    grid->addWidget(Overwrite, 4, 0, 1, 2);
    Label5->setBuddy(SDir);
    Label6->setBuddy(DDir);
    layout->addWidget(DirGroup);

    Label31 = Caption(Vaihe2, "Label31", "No images to process!", true);
    OwnFont(*Label31, bold, Qt::red);
    layout->addWidget(Label31);
    layout->addStretch(1);
    return Vaihe2;
}

QWidget* TPaaIkkuna::BuildPage3()
{
    Vaihe3 = Named<QWidget>(nullptr, "Vaihe3");
    auto* layout = new QVBoxLayout(Vaihe3);
    Label7 = Caption(Vaihe3, "Label7",
                     "If you want to make larger images than the preview window lets you, enter "
                     "size to the dimension fields in the upper right corner.",
                     true);
    layout->addWidget(Label7);
    auto* row = new QHBoxLayout;
    layout->addLayout(row, 1);

    KuvaPaneeli = Caption(Vaihe3, "KuvaPaneeli",
                          "Preview mode - you can change the size from here too", true);
    KuvaPaneeli->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    KuvaPaneeli->setAlignment(Qt::AlignCenter);
    KuvaPaneeli->setMinimumSize(313, 345);
    KuvaPaneeli->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    row->addWidget(KuvaPaneeli, 1);

    auto* side = new QVBoxLayout;
    row->addLayout(side);
    Dimensions = Group(Vaihe3, "Dimensions", "Dimensions");
    auto* dims = new QGridLayout(Dimensions);
    Width = Caption(Dimensions, "Width", "Width:");
    Leveys = Named<QLineEdit>(Dimensions, "Leveys");
    Leveys->setText("100");
    Height = Caption(Dimensions, "Height", "Height:");
    Korkeus = Named<QLineEdit>(Dimensions, "Korkeus");
    Korkeus->setText("100");
    Label10 = Caption(Dimensions, "Label10", "Preserve aspect ratio:");
    Aspect = List(Dimensions, "Aspect",
                  {"Yes - Favor height", "Yes - Favor width", "No", "Yes - Fit in the box"});
    StretchSmall = Check(Dimensions, "StretchSmall", "Enlarge smaller images", false);
    AutoRotate = Check(Dimensions, "AutoRotate", "Rotate photos as the camera held them", false);
    Smooth = Check(Dimensions, "Smooth", "Smooth scaling", false);
    Row(*dims, 0, Width, Leveys);
    Row(*dims, 1, Height, Korkeus);
    dims->addWidget(Label10, 2, 0, 1, 2);
    dims->addWidget(Aspect, 3, 0, 1, 2);
    Label10->setBuddy(Aspect);
    dims->addWidget(StretchSmall, 4, 0, 1, 2);
    dims->addWidget(AutoRotate, 5, 0, 1, 2);
    dims->addWidget(Smooth, 6, 0, 1, 2);
    side->addWidget(Dimensions);

    Frame = Group(Vaihe3, "Frame", "Frame");
    auto* frame = new QGridLayout(Frame);
    DrawFrame = Check(Frame, "DrawFrame", "Draw frame", false);
    Label9 = Caption(Frame, "Label9", "Frame color:");
    Color = Named<TColorBox>(Frame, "Color");
    Label11 = Caption(Frame, "Label11", "Frame size (in pixels):");
    UpDown = UpDownField(Frame, "UpDown", "Size", "Frame size");
    frame->addWidget(DrawFrame, 0, 0, 1, 2);
    Row(*frame, 1, Label9, Color);
    Row(*frame, 2, Label11, UpDown);
    Color->setEnabled(false);
    UpDown->setEnabled(false);
    side->addWidget(Frame);
    side->addStretch(1);

    Preview = CreatePreviewPane(*KuvaPaneeli);
    return Vaihe3;
}

TPreview* TPaaIkkuna::CreatePreviewPane(QWidget& panel)
{
    // At the panel's top-left corner, outside the panel's layout so that it can be sized
    // freely; a drag on its edge is a new width and height for the thumbnails.
    auto* pane = new TPreview(&panel);
    pane->move(0, 0);
    pane->show();
    connect(pane, &TPreview::UserResized, this, [this](int width, int height) {
        Leveys->setText(QString::number(width));
        Korkeus->setText(QString::number(height));
        ColorChange();
    });
    return pane;
}

void TPaaIkkuna::ColorChange()
{
    // The pane shows the frame the run would draw.
    Preview->DrawFrameSample(DrawFrame->isChecked(), Color->Selected(), UpDown->value());
}

QWidget* TPaaIkkuna::BuildPage4()
{
    Vaihe4 = Named<QWidget>(nullptr, "Vaihe4");
    auto* layout = new QVBoxLayout(Vaihe4);
    Label13 = Caption(Vaihe4, "Label13",
                      "If you are going to use destination files in the internet, GIF, PNG and JPG "
                      "formats are recommented. N.B! GIF- and PNG-format is saved WITHOUT "
                      "transparency.",
                      true);
    Label17 = Caption(Vaihe4, "Label17",
                      "Use the destination file name format especially when you have selected the "
                      "same source and destination directory. If you have file named Image.jpg and "
                      "Tabulonix deals with it as \"<same>tn\" this in name format, the file will "
                      "be saved e.g. as Imagetn.jpg.",
                      true);
    Label17->setTextFormat(Qt::PlainText);
    Label18 = Caption(Vaihe4, "Label18",
                      "Read more about options and \"tags\" in the destination file name format "
                      "from help (F1).",
                      true);
    layout->addWidget(Label13);
    layout->addWidget(Label17);
    layout->addWidget(Label18);
    auto* row = new QHBoxLayout;
    layout->addLayout(row, 1);

    FileTypeGroup = Group(Vaihe4, "FileTypeGroup", "Saving");
    auto* saving = new QVBoxLayout(FileTypeGroup);
    KeepFormat = Check(FileTypeGroup, "KeepFormat",
                       "Keep the same format that is used by source files", true);
    Label30 = Caption(FileTypeGroup, "Label30", "Save destination files as:");
    Format = List(FileTypeGroup, "Format", {"JPG", "GIF", "PNG", "BMP", "WMF", "EMF", "TGA"});
    Label15 = Caption(FileTypeGroup, "Label15", "Destination file name format:");
    NameFormat = Named<QLineEdit>(FileTypeGroup, "NameFormat");
    NameFormat->setText("<same>");
    Label12 = Caption(FileTypeGroup, "Label12", "Extension of the destination files:");
    Extension = Named<QLineEdit>(FileTypeGroup, "Extension");
    Extension->setText("default");
    Extension->setToolTip("Specify destination files extension");
    Extension->setEnabled(false);
    SkipUnchanged =
        Check(FileTypeGroup, "SkipUnchanged", "Skip pictures unchanged since the last run", false);
    for (QLabel* label : {Label30, Label15, Label12})
        label->setWordWrap(true);
    Label30->setBuddy(Format);
    Label15->setBuddy(NameFormat);
    Label12->setBuddy(Extension);
    for (QWidget* w : std::initializer_list<QWidget*>{
             KeepFormat, Label30, Format, Label15, NameFormat, Label12, Extension, SkipUnchanged})
        saving->addWidget(w);
    saving->addStretch(1);
    row->addWidget(FileTypeGroup, 1);

    auto* options = new QVBoxLayout;
    row->addLayout(options, 1);
    Jpeg = Group(Vaihe4, "Jpeg", "JPEG options");
    auto* jpeg = new QVBoxLayout(Jpeg);
    auto* quality = new QHBoxLayout;
    quality->setSpacing(8); // the value stands 8 pixels after its caption
    Label19 = Caption(Jpeg, "Label19", "JPEG compression quality:");
    Compression = Caption(Jpeg, "Compression", "80");
    quality->addWidget(Label19);
    quality->addWidget(Compression);
    quality->addStretch(1);
    jpeg->addLayout(quality);
    Label20 = Caption(Jpeg, "Label20", "", true);
    OwnFont(*Label20, kDesignFont, Qt::blue);
    jpeg->addWidget(Label20);
    TrackBar = Slider(Jpeg, "TrackBar", "JPG compression", 10);
    Label19->setBuddy(TrackBar);
    jpeg->addWidget(TrackBar);
    Progressive = Check(Jpeg, "Progressive", "Progressive encoding", true);
    jpeg->addWidget(Progressive);
    options->addWidget(Jpeg);

    Png = Group(Vaihe4, "Png", "PNG options");
    auto* png = new QVBoxLayout(Png);
    auto* level = new QHBoxLayout;
    level->setSpacing(8);
    Label28 = Caption(Png, "Label28", "PNG compression level:");
    PNGCompression = Caption(Png, "PNGCompression", "9");
    level->addWidget(Label28);
    level->addWidget(PNGCompression);
    level->addStretch(1);
    png->addLayout(level);
    Label32 = Caption(Png, "Label32", "", true);
    OwnFont(*Label32, kDesignFont, Qt::blue);
    png->addWidget(Label32);
    PNGTrackBar = Slider(Png, "PNGTrackBar", "PNG compression", 1);
    Label28->setBuddy(PNGTrackBar);
    png->addWidget(PNGTrackBar);
    options->addWidget(Png);
    options->addStretch(1);
    return Vaihe4;
}

QWidget* TPaaIkkuna::BuildPage5()
{
    Vaihe5 = Named<QWidget>(nullptr, "Vaihe5");
    auto* layout = new QVBoxLayout(Vaihe5);
    Label21 = Caption(Vaihe5, "Label21",
                      "Since thumbnails are very often used in the internet this page makes "
                      "HTML-output with all the processed images defined in it with options you "
                      "like.",
                      true);
    layout->addWidget(Label21);
    auto* output = new QHBoxLayout;
    CreateHTML = List(
        Vaihe5, "CreateHTML",
        {"Create HTML-output file", "Update existing HTML file", "Do not create HTML-output file"});
    SaveHTML = FlatButton(Vaihe5, "SaveHTML", "Save to", "Save HTML-output as");
    output->addWidget(CreateHTML);
    output->addWidget(SaveHTML);
    output->addStretch(1);
    layout->addLayout(output);
    HTMLFile = Caption(Vaihe5, "HTMLFile", "", true);
    OwnFont(*HTMLFile, TFontSpec{kDesignFont.name, kDesignFont.size, true}, Qt::blue);
    HTMLFile->setTextFormat(Qt::PlainText);
    HTMLFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(HTMLFile);

    auto* row = new QHBoxLayout;
    layout->addLayout(row);
    General = Group(Vaihe5, "General", "General");
    auto* general = new QGridLayout(General);
    FillDimensions =
        Check(General, "FillDimensions", "Create and fill image width- and height-values", true);
    UseTable = Check(General, "UseTable", "Create a table where images will be defined", true);
    Link = Check(General, "Link", "Link to original file", true);
    Label22 = Caption(General, "Label22", "Target:");
    Target = Named<QLineEdit>(General, "Target");
    Label27 = Caption(General, "Label27", "Image(s) on same line:");
    BRUp = UpDownField(General, "BRUp", "OnBR", "Images on same line");
    Label29 = Caption(General, "Label29", "Image border:");
    IBorderUp = UpDownField(General, "IBorderUp", "IBorder", "Image border");
    general->addWidget(FillDimensions, 0, 0, 1, 2);
    general->addWidget(UseTable, 1, 0, 1, 2);
    general->addWidget(Link, 2, 0, 1, 2);
    Row(*general, 3, Label22, Target);
    Row(*general, 4, Label27, BRUp);
    Row(*general, 5, Label29, IBorderUp);
    general->setRowStretch(6, 1);
    row->addWidget(General, 1);

    auto* right = new QVBoxLayout;
    row->addLayout(right, 1);
    Table = Group(Vaihe5, "Table", "Table");
    auto* table = new QGridLayout(Table);
    Label23 = Caption(Table, "Label23", "Table border:");
    BorderUp = UpDownField(Table, "BorderUp", "Border", "Table border");
    Label24 = Caption(Table, "Label24", "Image(s) on same cell:");
    TDUp = UpDownField(Table, "TDUp", "OnTD", "Images on same cell");
    Label25 = Caption(Table, "Label25", "Image(s) to same row:");
    TRUp = UpDownField(Table, "TRUp", "OnTR", "Images on same row");
    CenterCell = Check(Table, "CenterCell", "Center images in the cells", true);
    Row(*table, 0, Label23, BorderUp);
    Row(*table, 1, Label24, TDUp);
    Row(*table, 2, Label25, TRUp);
    table->addWidget(CenterCell, 3, 0, 1, 2);
    right->addWidget(Table);

    Multipage = Group(Vaihe5, "Multipage", "Multipage");
    auto* multi = new QGridLayout(Multipage);
    CreateMulti = Check(Multipage, "CreateMulti", "Create multipaged", false);
    Label26 = Caption(Multipage, "Label26", "Images per page:");
    ImageCountUp = UpDownField(Multipage, "ImageCountUp", "ImageCount", "Images on same page");
    multi->addWidget(CreateMulti, 0, 0, 1, 2);
    Row(*multi, 1, Label26, ImageCountUp);
    right->addWidget(Multipage);
    right->addStretch(1);
    layout->addStretch(1);
    return Vaihe5;
}

QWidget* TPaaIkkuna::BuildPage6()
{
    Vaihe6 = Named<QWidget>(nullptr, "Vaihe6");
    auto* layout = new QHBoxLayout(Vaihe6);
    GoPanel = Named<QFrame>(Vaihe6, "GoPanel");
    auto* picture = new QVBoxLayout(GoPanel);
    GoKuva = Named<QLabel>(GoPanel, "GoKuva");
    GoKuva->setPixmap(FinishPicture());
    picture->addWidget(GoKuva, 0, Qt::AlignTop);
    picture->addStretch(1);
    layout->addWidget(GoPanel);

    auto* right = new QVBoxLayout;
    layout->addLayout(right, 1);
    Label14 = Caption(Vaihe6, "Label14",
                      "You have completed the wizard, please check that all information is OK. "
                      "After that just click ready to let Tabulonix process the images.",
                      true);
    right->addWidget(Label14);
    Tiedot = Named<QPlainTextEdit>(Vaihe6, "Tiedot");
    Tiedot->setReadOnly(true);
    Tiedot->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Tiedot->viewport()->setCursor(Qt::ArrowCursor);
    Tiedot->setAccessibleName(Label14->text());
    right->addWidget(Tiedot, 1);
    return Vaihe6;
}

QFrame* TPaaIkkuna::BuildButtonBar()
{
    NappiPaneeli = Named<QFrame>(AlusPaneeli, "NappiPaneeli");
    NappiPaneeli->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    NappiPaneeli->setMinimumHeight(90);
    auto* bar = new QHBoxLayout(NappiPaneeli);
    bar->setContentsMargins(16, 7, 16, 7);
    bar->setSpacing(0);
    struct ButtonSpec {
        QToolButton* TPaaIkkuna::*member;
        const char* name;
        const char* caption;
        const char* hint;
        const char* glyph;
    };
    const ButtonSpec buttons[] = {
        {&TPaaIkkuna::btnPrevious, "btnPrevious", "Previous", "Previous step", "previous"},
        {&TPaaIkkuna::btnNext, "btnNext", "Next", "Next step", ""},
        {&TPaaIkkuna::btnOptions, "btnOptions", "Options", "Set options", "options"},
        {&TPaaIkkuna::btnUpdate, "btnUpdate", "Updates", "Check for updates", "updates"},
        {&TPaaIkkuna::btnAbout, "btnAbout", "About", "About Tabulonix", "about"},
        {&TPaaIkkuna::btnHelp, "btnHelp", "Help", "Opens Tabulonix help (F1)", "help"},
        {&TPaaIkkuna::btnClose, "btnClose", "Close", "Close Tabulonix (ESC)", "close"},
    };
    for (const ButtonSpec& spec : buttons) {
        auto* button = Named<QToolButton>(NappiPaneeli, spec.name);
        button->setText(QString::fromLatin1(spec.caption));
        button->setToolTip(QString::fromLatin1(spec.hint));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setMinimumSize(80, 75);
        button->setIconSize(QSize(32, 32));
        if (*spec.glyph)
            button->setIcon(ButtonGlyph(QString::fromLatin1(spec.glyph)));
        this->*spec.member = button;
        bar->addWidget(button);
    }
    btnNext->setIconSize(QSize(32, 32));
    btnNext->setIcon(TwoStateGlyph("next"));
    bar->addStretch(1);
    return NappiPaneeli;
}

} // namespace tabulonix
