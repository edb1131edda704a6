// A document chunk of an older version of the plug-in, which this version
// cannot read: kept, written back unchanged while nothing new is made,
// replaced by new shapes, and the user told which happened each time.
#include "plugin/document_hooks.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/span_archive.h"
#include "shapes/entities_history.h"
#include "shapes/session_kinds.h"

#include <gtest/gtest.h>

namespace
{

class OlderChunk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        data.history = &history;
        DezazApp().SetPrintSink([this](const std::wstring& text) { printed += text; });
    }
    void TearDown() override { DezazApp().SetPrintSink(nullptr); }

    bool Read(const std::vector<std::uint8_t>& bytes, bool merge = false)
    {
        dezaz::SpanArchive archive(bytes.data(), bytes.size());
        CDezazFileReadOptions options;
        options.SetMode(CDezazFileReadOptions::import_merge, merge);
        return ReadPlugInDocument(data, archive, options);
    }
    std::vector<std::uint8_t> Write()
    {
        ON_MemoryArchive archive;
        EXPECT_TRUE(WritePlugInDocument(data, archive, CDezazFileWriteOptions()));
        return archive.Buffer();
    }
    bool Says(const wchar_t* words)
    {
        const bool found = printed.find(words) != std::wstring::npos;
        printed.clear();
        return found;
    }

    CEntitiesHistory history;
    stPlugInDocumentData data;
    CDezazDoc doc;
    std::wstring printed;
};

} // namespace

TEST_F(OlderChunk, IsKeptAndSavedBackUnchangedUntilShapesAreMadeThenReplaced)
{
    // Version 0.3, with bytes no reader of this version knows.
    const std::vector<std::uint8_t> older = {0x03, 0xDE, 0xAD, 0xBE, 0xEF, 0, 1};
    ASSERT_TRUE(Read(older));
    EXPECT_TRUE(Says(L"older version of the plug-in (0.3)"));
    EXPECT_EQ(data.olderChunk, older);
    EXPECT_TRUE(history.IsEmpty());

    // It was dropped by the save without a word; now it is written as it came.
    EXPECT_TRUE(DecideToWriteDocument(data, doc));
    EXPECT_EQ(Write(), older);
    EXPECT_TRUE(Says(L"saved back unchanged"));
    EXPECT_EQ(Write(), older);

    // Shapes made since: the new data replaces it, and the user hears so.
    CObjectSurfaces* entry = history.GetOrCreate(ON_UuidFromString("0E8A1C2B-3D4F-4A5B-8C6D-7E8F9A0B1C2D"));
    entry->CreateSession(CLSID_CSessionPlane, false);
    const std::vector<std::uint8_t> written = Write();
    EXPECT_TRUE(Says(L"are replaced by the shapes made"));
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written[0], 0x10);
    EXPECT_TRUE(data.olderChunk.empty());

    // Inserting a file with such a chunk leaves it in that file, with a word.
    ASSERT_TRUE(Read(older, true));
    EXPECT_TRUE(Says(L"left out of the insert"));
    EXPECT_TRUE(data.olderChunk.empty());

    // Opening a current chunk forgets an older one.
    data.olderChunk = older;
    ASSERT_TRUE(Read(written));
    EXPECT_TRUE(data.olderChunk.empty());
}
