#include "cli/ex.h"

#include <gtest/gtest.h>

#include <string>

TEST(Ex, CollectsStreamedTextAndRepeatsIt)
{
    Ex ex;
    ex << "File '" << std::string("song.vgm") << "' does not exist\n";
    EXPECT_STREQ(ex.what(), "File 'song.vgm' does not exist\n");
    EXPECT_STREQ(ex.what(), "File 'song.vgm' does not exist\n");
}

TEST(Ex, CopiesShareOneStream)
{
    Ex original;
    original << "Not a VGM";
    Ex copy = original;
    original << " file";
    EXPECT_STREQ(copy.what(), "Not a VGM file");
}

TEST(Ex, ThrownTemporaryKeepsItsText)
{
    try {
        throw Ex() << "Not a VGM with " << std::string("POKEY music");
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Not a VGM with POKEY music");
    }
}
