#include "engine/JobFromSettings.h"
#include "i18n/IniLang.h"

#include <gtest/gtest.h>

namespace tabulonix {
namespace {

TEST(JobFromSettings, WhatTheWizardHoldsAfterAStart)
{
    MainSettings m = DefaultMain();
    m.SDir = "/pictures/";
    m.Leveys = "abc";
    m.Korkeus = "";
    m.Aspect = 1;
    m.UpDown = 7;
    m.BRUp = 12;
    m.ImageCountUp = 300;

    JobSettings job = JobFromMainSettings(m);
    EXPECT_EQ(job.ToDo, 0);
    EXPECT_EQ(job.SDir, "/pictures/");
    EXPECT_EQ(job.Leveys, 100) << "text that is no number counts as 100";
    EXPECT_EQ(job.Korkeus, 100);
    EXPECT_EQ(job.Aspect, 1);
    EXPECT_EQ(job.Size, 7);
    EXPECT_EQ(job.BRUp, 12);
    EXPECT_EQ(job.ImageCountUp, 300);
    EXPECT_EQ(job.NameFormat, "<same>tn");
    EXPECT_EQ(job.Extension, "default") << "the source format is kept";
    EXPECT_TRUE(job.HTMLFile.empty());

    m.Leveys = "$40";
    m.KeepFormat = false;
    m.Format = ofPNG;
    job = JobFromMainSettings(m, 1);
    EXPECT_EQ(job.ToDo, 1);
    EXPECT_EQ(job.Leveys, 64);
    EXPECT_EQ(job.NameFormat, "<same>");
    EXPECT_EQ(job.Extension, "png");
}

TEST(JobFromSettings, ExtensionFollowsTheLanguage)
{
    MainSettings m = DefaultMain();
    SetCurrentLanguageFile(
        std::make_shared<const TLanguageFile>(TLanguageFile::Parse("[Misc]\nM019=oletus\n")));
    EXPECT_EQ(JobFromMainSettings(m).Extension, "oletus");
    SetCurrentLanguageFile(nullptr);
}

TEST(JobFromSettings, FormatExtensions)
{
    const char* expected[] = {"jpg", "gif", "png", "bmp", "wmf", "emf", "tga"};
    for (int i = 0; i < kOutputFormatCount; ++i)
        EXPECT_EQ(FormatExtension(i), expected[i]);
    EXPECT_EQ(FormatExtension(-1), "");
    EXPECT_EQ(FormatExtension(kOutputFormatCount), "");
}

} // namespace
} // namespace tabulonix
