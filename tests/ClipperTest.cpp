#include "base/Clipper.h"

#include <gtest/gtest.h>

using namespace pasavel;

TEST(Clipper, TrimsOnlyTheSpaceCharacter)
{
    EXPECT_EQ(AllTrim(u"  Lengua  "), u"Lengua");
    EXPECT_EQ(AllTrim(u"     "), u"");
    EXPECT_EQ(AllTrim(u""), u"");
    EXPECT_EQ(AllTrim(u"\tLengua\n"), u"\tLengua\n");
    EXPECT_EQ(AllTrim(u"\u00A0x\u00A0"), u"\u00A0x\u00A0");
    EXPECT_EQ(AllTrim(u" a b "), u"a b");
    EXPECT_EQ(LTrim(u"  a "), u"a ");
    EXPECT_EQ(RTrim(u"  a "), u"  a");
}

TEST(Clipper, LeftAndRightKeepShortTextWhole)
{
    EXPECT_EQ(Left(u"abc", 5), u"abc");
    EXPECT_EQ(Left(u"abc", 2), u"ab");
    EXPECT_EQ(Left(u"abc", 0), u"");
    EXPECT_EQ(Right(u"abc", 2), u"bc");
    EXPECT_EQ(Right(u"9:30", 2), u"30");
    EXPECT_EQ(Right(u"abc", 3), u"abc");
    EXPECT_EQ(Right(u"abc", 0), u"");
}

TEST(Clipper, CapitalsKeepsOnlyAsciiCapitals)
{
    EXPECT_EQ(Capitals(u"Lengua Castellana y Literatura"), u"LCL");
    EXPECT_EQ(Capitals(u"Ámbito Científico"), u"C");
    EXPECT_EQ(Capitals(u"matemáticas 2"), u"");
}

TEST(Clipper, InitialsTakesTheCharacterAfterEachSpace)
{
    EXPECT_EQ(Initials(u"Lengua Castellana y Literatura"), u"CyL");
    EXPECT_EQ(Initials(u"Matemáticas"), u"");
    EXPECT_EQ(Initials(u"Educación  Física"), u" F");
    EXPECT_EQ(Initials(u"Física "), u"");
    EXPECT_EQ(Initials(u" Física"), u"F");
}
