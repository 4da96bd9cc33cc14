#include "foundation/LList.h"
#include "foundation/LText.h"
#include "foundation/LTokenScanner.h"

#include <gtest/gtest.h>

namespace {

TEST(Tplprintf, ConversionsAndOddFormats)
{
    EXPECT_EQ(tplprintf("%.3d", 7), "007");
    EXPECT_EQ(tplprintf("%d", -12), "-12");
    EXPECT_EQ(tplprintf("%.2d", -5), "-05");
    EXPECT_EQ(tplprintf("%s", static_cast<const char*>(nullptr)), "(null)");
    EXPECT_EQ(tplprintf("%x"), "x");
    EXPECT_EQ(tplprintf("100%%"), "100%");
    EXPECT_EQ(tplprintf(nullptr), "");
    EXPECT_EQ(tplprintf("%s and %s"), "(null) and (null)");
    EXPECT_EQ(tplprintf("trailing %"), "trailing ");
    EXPECT_EQ(tplprintf("%d", INT32_MIN), "-2147483648");
}

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

std::vector<int> Keys(const LList<Item>& list)
{
    std::vector<int> out;
    for (const Item& item : list)
        out.push_back(item.key * 10 + item.tag);
    return out;
}

TEST(List, OrderedListKeepsEqualItemsInArrivalOrder)
{
    LList<Item> list(true);
    list.Add(Item { 5, 0 });
    list.Add(Item { 1, 0 });
    list.Add(Item { 5, 1 });
    list.Add(Item { 3, 0 });
    list.Add(Item { 9, 0 });
    EXPECT_EQ(Keys(list), (std::vector<int> { 10, 30, 50, 51, 90 }));
}

TEST(List, ClearingAHugeListDoesNotOverflowTheStack)
{
    LList<Item> list;
    for (int i = 0; i < 1000000; ++i)
        list.Add(Item { i, 0 });
    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
}

} // namespace
