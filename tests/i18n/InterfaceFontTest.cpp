#include "i18n/InterfaceFont.h"

#include <gtest/gtest.h>

namespace tabulonix {
namespace {

TEST(InterfaceFont, FromAndToSettings)
{
    GeneralSettings g = DefaultGeneral();
    TFontSpec font = InterfaceFontFrom(g);
    EXPECT_EQ(font.name, "MS Sans Serif");
    EXPECT_EQ(font.size, 8);
    EXPECT_EQ(font.charset, TFontSpec::kDefaultCharset);
    EXPECT_FALSE(font.bold || font.italic || font.underline || font.strikeOut);

    font.name = "Arial";
    font.size = 11;
    font.italic = font.strikeOut = true;
    font.charset = 238;
    StoreInterfaceFont(font, g);
    TFontSpec back = InterfaceFontFrom(g);
    EXPECT_EQ(back.name, "Arial");
    EXPECT_EQ(back.size, 11);
    EXPECT_TRUE(back.italic && back.strikeOut && !back.bold && !back.underline);
    EXPECT_EQ(back.charset, TFontSpec::kDefaultCharset); // not kept across a start
}

TEST(InterfaceFont, LabelText)
{
    TFontSpec font{"MS Sans Serif", 10, true, false, true, false};
    EXPECT_EQ(FontLabelText(font), "MS Sans Serif, 10pt, Bold, Underline");
    font = TFontSpec{"Tahoma", 8, true, true, true, true};
    EXPECT_EQ(FontLabelText(font), "Tahoma, 8pt, Bold, Italic, Underline, Strike out");
    EXPECT_EQ(FontLabelText(TFontSpec{"X", 12}), "X, 12pt");
}

TEST(InterfaceFont, WhatTheWizardLabelsTakeOver)
{
    const TFontSpec label{"Comic Sans MS", 20, true, false, false, false, 0};
    const TFontSpec chosen{"Verdana", 9, false, true, true, false, 204};

    TFontSpec title = ApplyInterfaceFont(label, chosen, LabelFontPart::FaceAndCharset);
    EXPECT_EQ(title, (TFontSpec{"Verdana", 20, true, false, false, false, 204}));
    TFontSpec sized = ApplyInterfaceFont(label, chosen, LabelFontPart::FaceCharsetAndSize);
    EXPECT_EQ(sized, (TFontSpec{"Verdana", 9, true, false, false, false, 204}));
    TFontSpec all = ApplyInterfaceFont(label, chosen, LabelFontPart::FaceCharsetStyleAndSize);
    EXPECT_EQ(all, chosen);

    int faceOnly = 0, withSize = 0, withStyle = 0;
    for (const auto& rule : WizardLabelFontRules()) {
        faceOnly += rule.part == LabelFontPart::FaceAndCharset;
        withSize += rule.part == LabelFontPart::FaceCharsetAndSize;
        withStyle += rule.part == LabelFontPart::FaceCharsetStyleAndSize;
    }
    EXPECT_EQ(faceOnly, 2);
    EXPECT_EQ(withSize, 4);
    EXPECT_EQ(withStyle, 2);
}

} // namespace
} // namespace tabulonix
