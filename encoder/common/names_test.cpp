#include "common/names.h"

#include <gtest/gtest.h>

TEST(MsxFileName, EightThreeFormKeepsCaseAndCutsStemAndExtension)
{
    EXPECT_EQ(msx_file_name("games/knightmare.rom", false), "knightma.rom");
    EXPECT_EQ(msx_file_name("game.bin", false), "game.bin");
    EXPECT_EQ(msx_file_name("C:\\MSX\\Game.Binary", false), "Game.Bin");
    EXPECT_EQ(msx_file_name("noext", false), "noext");
    EXPECT_EQ(msx_file_name("dir.d/file", false), "file");
}

TEST(MsxFileName, DotNearTheStartIsNoExtensionWithoutAPath)
{
    EXPECT_EQ(msx_file_name("a.rom", false), "a.rom");
    EXPECT_EQ(msx_file_name("a.bcdefgh", false), "a.bcdefg");
    EXPECT_EQ(msx_file_name("x\\a.bcdefgh", false), "a.bcd");
}

TEST(MsxFileName, DosFormIsElevenCharactersWithTheExtensionAtEight)
{
    EXPECT_EQ(msx_file_name("path/knightmare.rom", true), "knightmarom");
    EXPECT_EQ(msx_file_name("game.bin", true), "game    bin");
    EXPECT_EQ(msx_file_name("a.rom", true), "a       rom");
    EXPECT_EQ(msx_file_name("noext", true), "noext      ");
}

// Names are cut by bytes, but never inside a UTF-8 character: a character
// that would not fit whole is left out.
TEST(MsxFileName, NonAsciiCharactersAreNeverCutInTwo)
{
    EXPECT_EQ(msx_file_name("spéléo.rom", false), "spéléo.rom");    // 8 bytes exactly
    EXPECT_EQ(msx_file_name("aéééé.rom", false), "aééé.rom");       // a fourth é would need bytes 8 and 9
    EXPECT_EQ(msx_file_name("game.é€", false), "game.é");            // the extension: 3 bytes
    EXPECT_EQ(msx_file_name("aéééé.rom", true), "aééé rom");
    EXPECT_EQ(msx_file_name("\xE9t\xE9.rom", false), "\xE9t\xE9.rom");  // Latin-1 bytes stand for themselves
    EXPECT_EQ(tape_name("aééé.rom"), "aéé");
}

TEST(TapeName, CutAfterSixAndAtTheFirstDot)
{
    EXPECT_EQ(tape_name("game.bin"), "game");
    EXPECT_EQ(tape_name("longname.bin"), "longna");
    EXPECT_EQ(tape_name("a.rom"), "a");
    EXPECT_EQ(tape_name("abcdef.g"), "abcdef");
    EXPECT_EQ(tape_name("game    bin"), "game  ");
    EXPECT_EQ(pad_name("a", 6), "a     ");
}
