#include "plugin/vtl_plugin.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/win32/message.h"
#include "platform/win32/window.h"

#include <gtest/gtest.h>


namespace
{

LRESULT FakeDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return DefWindowProcW(window, message, wparam, lparam);
}

struct DialogLog
{
    int made = 0;
    int deleted = 0;
    int cancels = 0;
    int forced_cancels = 0;
    bool fail_create = false;
    bool refuse_unforced = false;  // the user answers "cancel" to the closing question
    bool refuse_forced = false;    // a dialog that ignores even a forced cancel
    std::size_t history_at_close = 99;
    CEntitiesHistory* history = nullptr;
};

// A tool dialog with a real window that may refuse an unforced cancel.
class CFakeDialog : public IToolDialog
{
public:
    explicit CFakeDialog(DialogLog& log) : m_log(log) { ++m_log.made; }
    ~CFakeDialog() override
    {
        ++m_log.deleted;
        if (m_window && IsWindow(m_window))
            DestroyWindow(m_window);
    }
    HWND DialogWindow() const override { return m_window; }
    bool CreateModeless(UINT resource, CWnd*) override
    {
        if (m_log.fail_create)
            return false;
        static const ATOM registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &FakeDialogProc;
            wc.lpszClassName = L"VtlFakeToolDialog";
            return RegisterClassW(&wc);
        }();
        (void)registered;
        m_window = CreateWindowExW(0, L"VtlFakeToolDialog", std::to_wstring(resource).c_str(), WS_POPUP, 0, 0, 200,
                                   100, nullptr, nullptr, nullptr, nullptr);
        return m_window != nullptr;
    }
    void CancelDialog(bool forced) override
    {
        ++m_log.cancels;
        m_log.forced_cancels += forced ? 1 : 0;
        if (m_log.history)
            m_log.history_at_close = m_log.history->Count();
        if (forced ? m_log.refuse_forced : m_log.refuse_unforced)
            return;
        DestroyWindow(m_window);
    }

private:
    DialogLog& m_log;
    HWND m_window = nullptr;
};

void UseFakeDialogs(cDialogHolder& holder, DialogLog& log)
{
    holder.SetFactory([&log] { return std::make_unique<CFakeDialog>(log); });
}

const ON_UUID kHostObject = ON_UuidFromString("A1B2C3D4-0000-1111-2222-333344445555");

TEST(DialogHolder, WithoutADialogClassItSaysSoAndStaysEmpty)
{
    cDialogHolder holder(3046, L"Measure Fillet");
    DezazApp().ClearCommandLineText();
    EXPECT_FALSE(holder.Open(nullptr));
    EXPECT_EQ(holder.Dialog(), nullptr);
    EXPECT_EQ(DezazApp().CommandLineText(), L"The Measure Fillet dialog is not available in this version.\n");
    EXPECT_TRUE(holder.Close(true));
}

TEST(DialogHolder, AFailedCreationLeavesTheHolderEmptyAndTheDialogDeleted)
{
    DialogLog log;
    log.fail_create = true;
    const std::size_t windows = win32::LiveWindowCount();
    {
        cDialogHolder holder(3010, L"Shapes");
        UseFakeDialogs(holder, log);
        EXPECT_FALSE(holder.Open(nullptr));
        EXPECT_EQ(holder.Dialog(), nullptr);
        EXPECT_EQ(log.deleted, 1);
        log.fail_create = false;
        EXPECT_TRUE(holder.Open(nullptr));
        EXPECT_TRUE(holder.IsVisible());
        // A second open brings the same dialog forward.
        IToolDialog* first = holder.Dialog();
        EXPECT_TRUE(holder.Open(nullptr));
        EXPECT_EQ(holder.Dialog(), first);
        EXPECT_EQ(log.made, 2);
    }
    EXPECT_EQ(log.deleted, 2);
    EXPECT_EQ(win32::LiveWindowCount(), windows);
}

TEST(DialogHolder, ADialogThatStaysOpenStaysHeldAndAForcedCloseEndsIt)
{
    DialogLog log;
    log.refuse_unforced = true;
    cDialogHolder holder(3010, L"Shapes");
    UseFakeDialogs(holder, log);
    ASSERT_TRUE(holder.Open(nullptr));
    EXPECT_FALSE(holder.Close(false)); // the user kept it open: never orphaned
    EXPECT_NE(holder.Dialog(), nullptr);
    EXPECT_TRUE(holder.IsVisible());
    EXPECT_TRUE(holder.Close(true));
    EXPECT_EQ(holder.Dialog(), nullptr);
    EXPECT_EQ(log.deleted, 1);

    // A dialog the user closed is replaced by a new one on the next open.
    ASSERT_TRUE(holder.Open(nullptr));
    DestroyWindow(holder.Dialog()->DialogWindow());
    EXPECT_FALSE(holder.IsVisible());
    ASSERT_TRUE(holder.Open(nullptr));
    EXPECT_EQ(log.made, 3);
    EXPECT_EQ(log.deleted, 2);
}

class PlugInObject : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plugin = std::make_unique<Cvtl_for_Dezaz4PlugIn>();
        UseFakeDialogs(plugin->ShapesDialog(), shapes);
        UseFakeDialogs(plugin->AnalyzerDialog(), analyzer);
        shapes.history = analyzer.history = &plugin->EntitiesHistory();
        ASSERT_TRUE(plugin->OnLoadPlugIn());
    }
    void TearDown() override
    {
        if (plugin)
            plugin->OnUnloadPlugIn();
        plugin.reset();
    }
    void OpenBoth()
    {
        ASSERT_TRUE(plugin->ShapesDialog().Open(nullptr));
        ASSERT_TRUE(plugin->AnalyzerDialog().Open(nullptr));
        plugin->EntitiesHistory().GetOrCreate(kHostObject);
    }

    DialogLog shapes, analyzer;
    std::unique_ptr<Cvtl_for_Dezaz4PlugIn> plugin;
    CDezazDoc doc;
};

TEST_F(PlugInObject, ANewDocumentClosesTheToolsAndEmptiesTheHistory)
{
    OpenBoth();
    shapes.refuse_unforced = analyzer.refuse_unforced = true; // questions cannot keep them
    dezaz::FireNewDocument(doc);
    EXPECT_EQ(plugin->ShapesDialog().Dialog(), nullptr);
    EXPECT_EQ(plugin->AnalyzerDialog().Dialog(), nullptr);
    EXPECT_TRUE(plugin->EntitiesHistory().IsEmpty());
    // The dialog closed while the sessions it shows still existed.
    EXPECT_EQ(shapes.history_at_close, 1u);
}

TEST_F(PlugInObject, ADialogIgnoringAForcedCancelIsStillEndedBeforeTheHistoryEmpties)
{
    OpenBoth();
    shapes.refuse_forced = shapes.refuse_unforced = true;
    const HWND window = plugin->ShapesDialog().Dialog()->DialogWindow();
    dezaz::FireNewDocument(doc);
    // No window is left showing the sessions of the document that went.
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(plugin->ShapesDialog().Dialog(), nullptr);
    EXPECT_EQ(shapes.deleted, shapes.made);
    EXPECT_TRUE(plugin->EntitiesHistory().IsEmpty());

    // Unforced, the same dialog is kept, and kept held.
    ASSERT_TRUE(plugin->ShapesDialog().Open(nullptr));
    EXPECT_FALSE(plugin->ShapesDialog().Close(false));
    EXPECT_TRUE(plugin->ShapesDialog().IsVisible());
}

TEST_F(PlugInObject, OpeningByMergeKeepsTheShapesDialogAndHistoryButClosesTheAnalyzer)
{
    OpenBoth();
    dezaz::FireBeginOpenDocument(doc, L"other.dzz", true, false);
    EXPECT_TRUE(plugin->ShapesDialog().IsVisible());
    EXPECT_EQ(plugin->EntitiesHistory().Count(), 1u);
    EXPECT_EQ(plugin->AnalyzerDialog().Dialog(), nullptr);

    dezaz::FireBeginOpenDocument(doc, L"other.dzz", false, false);
    EXPECT_EQ(plugin->ShapesDialog().Dialog(), nullptr);
    EXPECT_TRUE(plugin->EntitiesHistory().IsEmpty());
}

TEST_F(PlugInObject, SavingCancelsTheAnalyzerAsTheUserWould)
{
    OpenBoth();
    dezaz::FireBeginSaveDocument(doc, L"doc.dzz", false);
    EXPECT_EQ(analyzer.cancels, 1);
    EXPECT_EQ(analyzer.forced_cancels, 0);
    EXPECT_EQ(plugin->AnalyzerDialog().Dialog(), nullptr);
    EXPECT_TRUE(plugin->ShapesDialog().IsVisible());
    // A closed analyzer is not cancelled again.
    dezaz::FireBeginSaveDocument(doc, L"doc.dzz", false);
    EXPECT_EQ(analyzer.cancels, 1);
}

TEST_F(PlugInObject, UnloadStopsListeningAndDestructionClosesDialogsBeforeTheHistoryGoes)
{
    OpenBoth();
    plugin->OnUnloadPlugIn();
    EXPECT_EQ(plugin->EventWatcher(), nullptr);
    // Closed by unload, forced, while the history was still whole.
    EXPECT_EQ(shapes.forced_cancels, 1);
    EXPECT_EQ(shapes.history_at_close, 1u);
    ASSERT_TRUE(plugin->ShapesDialog().Open(nullptr));
    dezaz::FireNewDocument(doc); // nobody listens any more
    EXPECT_TRUE(plugin->ShapesDialog().IsVisible());
    plugin.reset();
    EXPECT_EQ(shapes.forced_cancels, 2);
    EXPECT_EQ(shapes.history_at_close, 1u);
    EXPECT_EQ(shapes.deleted, shapes.made);
}

TEST_F(PlugInObject, LoadedAgainAfterAnUnloadItListensAgain)
{
    plugin->OnUnloadPlugIn();
    ASSERT_TRUE(plugin->OnLoadPlugIn());
    ASSERT_NE(plugin->EventWatcher(), nullptr);
    OpenBoth();
    dezaz::FireNewDocument(doc); // the dialogs go before the history does
    EXPECT_FALSE(plugin->ShapesDialog().IsVisible());
    EXPECT_EQ(shapes.forced_cancels, 1);
    EXPECT_EQ(shapes.history_at_close, 1u);
}

TEST_F(PlugInObject, OnlyItsOwnMenuIdsAreHandled)
{
    DezazApp().ClearCommandLineText();
    EXPECT_TRUE(plugin->OnPlugInMenuCommand(32772)); // the About item's script ran
    EXPECT_NE(DezazApp().CommandLineText().find(L"vtlAbout"), std::wstring::npos);
    EXPECT_FALSE(plugin->OnPlugInMenuCommand(32773));
    EXPECT_FALSE(plugin->OnPlugInMenuCommand(0));
    EXPECT_EQ(plugin->PlugInID(), ON_UuidFromString("7D3A9C52-41E8-4B6F-9A0D-2C5E8F1B3A64"));
}

} // namespace
