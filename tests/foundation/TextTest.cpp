#include "foundation/LList.h"
#include "foundation/LText.h"
#include "foundation/LTokenScanner.h"

#include <gtest/gtest.h>

namespace {

TEST(Tplprintf, LongUserTextIsNeverCut)
{
    std::string path(5000, 'p');
    std::string out = tplprintf("Cannot open \"%s\" (%d).", path, 3);
    EXPECT_EQ(out.size(), 5000u + 19);
    EXPECT_EQ(out.substr(out.size() - 6), "\" (3).");
}

TEST(Utf8, CutsOnlyAtCharacterBoundaries)
{
    std::string text = "ab\xc3\xa9\xe2\x82\xac"; // a b é €
    EXPECT_EQ(CutUtf8(text, 3), "ab");
    EXPECT_EQ(CutUtf8(text, 4), "ab\xc3\xa9");
    EXPECT_EQ(CutUtf8(text, 6), "ab\xc3\xa9");
    EXPECT_EQ(CutUtf8(text, 7), text);
    char field[4];
    CopyToField(field, sizeof field, text);
    EXPECT_EQ(FieldText(field, sizeof field), "ab");
}

TEST(TokenScanner, ExpandsTokensAndCutsTheOutput)
{
    LTokenScanner scan("%user%_%number%.dct%%", 260);
    std::string name, values[] = { "amy", "0042" };
    int i = 0;
    while (scan.NextToken(&name)) {
        EXPECT_EQ(name, i == 0 ? "user" : "number");
        scan.Append(values[i++]);
    }
    EXPECT_EQ(scan.Output(), "amy_0042.dct");
    LTokenScanner unterminated("a%open", 260);
    ASSERT_TRUE(unterminated.NextToken(&name));
    EXPECT_EQ(name, "open");
    EXPECT_FALSE(unterminated.NextToken(&name));
    EXPECT_EQ(unterminated.Output(), "a");
    LTokenScanner small("abcdef%x%", 4);
    while (small.NextToken(&name))
        small.Append("zzz");
    EXPECT_EQ(small.Output(), "abcd");
}

struct Item {
    int key;
    int tag;
    bool operator<(const Item& other) const { return key < other.key; }
};

TEST(List, ClearingAHugeListDoesNotOverflowTheStack)
{
    LList<Item> list;
    for (int i = 0; i < 1000000; ++i)
        list.Add(Item { i, 0 });
    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
}

} // namespace
