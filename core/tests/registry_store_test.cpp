#include "core/registry_store.h"
#include "platform/win32/tests/support/temp_registry.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

namespace
{

class RegistryStoreTest : public ::testing::Test
{
protected:
    RegistryStoreTest() { store.Init(L"Pellmark", L"VTL_4 For Dezaz"); }

    bool WriteText(const wchar_t* section, const wchar_t* name, const std::wstring& text, DWORD bytes)
    {
        return store.WriteValue(section, name, REG_SZ, text.c_str(), bytes);
    }

    TempRegistry temp;
    cRegistryStore store;
};

TEST(RegistryStoreInit, BasePathWithAndWithoutCompany)
{
    cRegistryStore store;
    store.Init(L"Pellmark", L"VTL_4 For Dezaz");
    EXPECT_STREQ(store.GetBasePath(), L"SOFTWARE\\Pellmark\\VTL_4 For Dezaz");
    EXPECT_STREQ(store.GetProductName(), L"VTL_4 For Dezaz");
    EXPECT_EQ(store.GetRootKey(), HKEY_CURRENT_USER);

    store.Init(nullptr, L"VTL_4 For Dezaz");
    EXPECT_STREQ(store.GetBasePath(), L"SOFTWARE\\VTL_4 For Dezaz");
    store.Init(L"Pellmark", nullptr);
    EXPECT_STREQ(store.GetBasePath(), L"SOFTWARE\\Pellmark\\");
    EXPECT_STREQ(store.GetProductName(), L"");
}

TEST(RegistryStoreInit, OverlongNamesAreCutToTheBuffer)
{
    std::wstring longName(3000, L'x');
    cRegistryStore store;
    store.Init(longName.c_str(), longName.c_str());
    EXPECT_EQ(std::wcslen(store.GetBasePath()), 1023u);
    EXPECT_EQ(std::wcslen(store.GetProductName()), 1023u);
    wchar_t path[cRegistryStore::kPathLength];
    store.BuildKeyPath(L"Preferences", path);
    EXPECT_EQ(std::wcslen(path), 1023u);
}

TEST_F(RegistryStoreTest, IntsAndFloatsRoundTripAndAFirstWriteCreatesTheSection)
{
    store.WriteInt(L"Preferences\\Display", L"Mode", -5);
    DWORD type = 0;
    wchar_t text[16] = {};
    DWORD length = sizeof text / 2;
    ASSERT_TRUE(store.ReadValue(L"Preferences\\Display", L"Mode", &type, text, &length));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(length, 6u); // two characters and the terminator, two bytes each
    EXPECT_STREQ(text, L"-5");

    int mode = 0;
    EXPECT_TRUE(store.ReadInt(L"Preferences\\Display", L"Mode", &mode));
    EXPECT_EQ(mode, -5);

    ASSERT_TRUE(WriteText(L"Processing", L"Tolerance", L"0.125", 12));
    float tolerance = 0.0f;
    EXPECT_TRUE(store.ReadFloat(L"Processing", L"Tolerance", &tolerance));
    EXPECT_EQ(tolerance, 0.125f);
    ASSERT_TRUE(WriteText(L"Processing", L"Tolerance", L"1e-05", 12));
    EXPECT_TRUE(store.ReadFloat(L"Processing", L"Tolerance", &tolerance));
    EXPECT_EQ(tolerance, 1e-5f);
}

TEST_F(RegistryStoreTest, MissingOrWrongTypedValuesKeepTheDefault)
{
    int value = 42;
    float number = 2.5f;
    EXPECT_FALSE(store.ReadInt(L"Preferences", L"Absent", &value));
    EXPECT_FALSE(store.ReadFloat(nullptr, L"Absent", &number));
    DWORD dword = 7;
    ASSERT_TRUE(store.WriteValue(L"Preferences", L"Binary", REG_DWORD, &dword, 4));
    EXPECT_FALSE(store.ReadInt(L"Preferences", L"Binary", &value));
    EXPECT_EQ(value, 42);
    EXPECT_EQ(number, 2.5f);
}

TEST_F(RegistryStoreTest, GarbageTextReadsTrueAndKeepsTheValue)
{
    int value = 42;
    float number = 2.5f;
    for (const wchar_t* garbage : {L"abc", L"", L"nan", L"inf", L"-"})
    {
        std::wstring text = garbage;
        ASSERT_TRUE(WriteText(L"Preferences", L"Value", text, static_cast<DWORD>((text.size() + 1) * 2)));
        EXPECT_TRUE(store.ReadInt(L"Preferences", L"Value", &value)) << text;
        EXPECT_TRUE(store.ReadFloat(L"Preferences", L"Value", &number)) << text;
        EXPECT_EQ(value, 42) << text;
        EXPECT_EQ(number, 2.5f) << text;
    }
    ASSERT_TRUE(WriteText(L"Preferences", L"Value", L"99999999999", 24));
    EXPECT_TRUE(store.ReadInt(L"Preferences", L"Value", &value));
    EXPECT_EQ(value, 42); // does not fit an int
    ASSERT_TRUE(WriteText(L"Preferences", L"Value", L"1e999", 12));
    EXPECT_TRUE(store.ReadFloat(L"Preferences", L"Value", &number));
    EXPECT_EQ(number, 2.5f); // does not fit a float
    // Leading blanks and trailing text parse like the C library's "%d".
    ASSERT_TRUE(WriteText(L"Preferences", L"Value", L"  +17px", 16));
    EXPECT_TRUE(store.ReadInt(L"Preferences", L"Value", &value));
    EXPECT_EQ(value, 17);
}

TEST_F(RegistryStoreTest, TextWithoutTerminatorEndsAtTheBytesRead)
{
    // "12" stored without its terminator, after a longer text was read into
    // a buffer of the same kind.
    ASSERT_TRUE(WriteText(L"Preferences", L"Long", L"9999", 10));
    int value = 0;
    EXPECT_TRUE(store.ReadInt(L"Preferences", L"Long", &value));
    ASSERT_TRUE(WriteText(L"Preferences", L"Short", L"12", 4));
    EXPECT_TRUE(store.ReadInt(L"Preferences", L"Short", &value));
    EXPECT_EQ(value, 12);
}

TEST_F(RegistryStoreTest, ValueLongerThanTheBufferFails)
{
    std::wstring text(1500, L'7');
    ASSERT_TRUE(WriteText(L"Preferences", L"Huge", text, static_cast<DWORD>((text.size() + 1) * 2)));
    int value = 3;
    EXPECT_FALSE(store.ReadInt(L"Preferences", L"Huge", &value));
    EXPECT_EQ(value, 3);

    unsigned char record[96];
    for (int i = 0; i < 96; ++i)
        record[i] = static_cast<unsigned char>(i);
    ASSERT_TRUE(store.WriteValue(L"Preferences", L"UserDefinedView", REG_BINARY, record, 96));
    unsigned char small[50] = {};
    DWORD length = sizeof small;
    DWORD type = 0;
    EXPECT_FALSE(store.ReadValue(L"Preferences", L"UserDefinedView", &type, small, &length));
    unsigned char back[96] = {};
    length = sizeof back;
    ASSERT_TRUE(store.ReadValue(L"Preferences", L"UserDefinedView", &type, back, &length));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(length, 96u);
    EXPECT_EQ(back[95], 95);
}

TEST_F(RegistryStoreTest, TextStoredWhereARecordIsExpectedStaysInsideTheRecord)
{
    // A damaged or hand-edited hive holds text under the name of a 96-byte
    // binary record: as wchar_t text it would need twice its registry size.
    std::wstring text(40, L'x');
    ASSERT_TRUE(WriteText(L"Preferences", L"UserDefinedView", text, static_cast<DWORD>((text.size() + 1) * 2)));
    std::vector<unsigned char> record(96, 0xAB); // on the heap, so a byte too far is seen
    DWORD length = static_cast<DWORD>(record.size());
    DWORD type = 0;
    EXPECT_FALSE(store.ReadValue(L"Preferences", L"UserDefinedView", &type, record.data(), &length));
    EXPECT_EQ(record[0], 0xAB) << "nothing copied";

    // Text that does fit arrives whole, with its size in registry bytes.
    std::vector<wchar_t> wide(41, L'?');
    length = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    ASSERT_TRUE(store.ReadValue(L"Preferences", L"UserDefinedView", &type, wide.data(), &length));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(length, 82u);
    EXPECT_EQ(std::wstring(wide.data()), text);
}

} // namespace
