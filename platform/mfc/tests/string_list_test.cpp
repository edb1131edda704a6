#include "platform/mfc/mfc.h"

#include <gtest/gtest.h>

namespace
{

TEST(CStringTest, FormatFollowsTheWideRulesOfTheOriginalPlatform)
{
    CString s;
    s.Format(L"%s=%d (%c) %S %I64d", L"name", 42, L'x', "narrow", static_cast<long long>(1) << 40);
    EXPECT_EQ(s, L"name=42 (x) narrow 1099511627776");
    s.Format(L"%.15g", static_cast<double>(0.2f));
    EXPECT_EQ(s, L"0.200000002980232");
    s.Format(L"%ls and %hs", L"wide", "narrow");
    EXPECT_EQ(s, L"wide and narrow");
    s.Format(L"100%%");
    EXPECT_EQ(s, L"100%");
    CString big;
    big.Format(L"%s", std::wstring(5000, L'a').c_str()); // longer than the first buffer
    EXPECT_EQ(big.GetLength(), 5000);
    big.AppendFormat(L"%d", 7);
    EXPECT_EQ(big.Right(2), L"a7");
}

TEST(CStringTest, PiecesClampToTheString)
{
    CString s(L"  Hello World  ");
    s.Trim();
    EXPECT_EQ(s, L"Hello World");
    EXPECT_EQ(s.Left(5), L"Hello");
    EXPECT_EQ(s.Right(50), L"Hello World");
    EXPECT_EQ(s.Mid(6), L"World");
    EXPECT_EQ(s.Mid(-3, 2), L"He");
    EXPECT_EQ(s.Mid(20), L"");
    EXPECT_EQ(s.Find(L'o'), 4);
    EXPECT_EQ(s.Find(L'o', 5), 7);
    EXPECT_EQ(s.Find(L"World"), 6);
    EXPECT_EQ(s.Find(L'o', 99), -1);
    EXPECT_EQ(s.ReverseFind(L'o'), 7);
    EXPECT_EQ(s.CompareNoCase(L"hello world"), 0);
    EXPECT_EQ(s.Replace(L"o", L"0"), 2);
    EXPECT_EQ(s, L"Hell0 W0rld");
    EXPECT_THROW(s.GetAt(100), std::out_of_range);
    wchar_t* buffer = s.GetBuffer(32);
    wcscpy(buffer, L"short");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 5);
    EXPECT_EQ(CString("caf\xC3\xA9"), L"caf\u00E9");
}

TEST(CPtrListTest, KeepsOrderAndPositionsAcrossInsertsAndRemovals)
{
    int a = 1, b = 2, c = 3, d = 4;
    CPtrList list(10);
    EXPECT_TRUE(list.IsEmpty());
    POSITION pa = list.AddTail(&a);
    list.AddTail(&c);
    list.InsertAfter(pa, &b);
    list.AddHead(&d);
    std::vector<int> seen;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        seen.push_back(*static_cast<int*>(list.GetNext(pos)));
    EXPECT_EQ(seen, (std::vector<int>{4, 1, 2, 3}));
    EXPECT_EQ(list.Find(&b), list.FindIndex(2));
    list.RemoveAt(pa);
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.RemoveHead(), &d);
    EXPECT_EQ(list.RemoveTail(), &c);
    seen.clear();
    for (POSITION pos = list.GetTailPosition(); pos;)
        seen.push_back(*static_cast<int*>(list.GetPrev(pos)));
    EXPECT_EQ(seen, (std::vector<int>{2}));
    list.RemoveAll();
    EXPECT_THROW(list.GetHead(), std::out_of_range);
    EXPECT_EQ(list.FindIndex(0), nullptr);
}

} // namespace
