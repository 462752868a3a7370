#include "ui/dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/main_window.h"
#include "core/shell_globals.h"
#include "ui/interface_draw.h"
#include "ui/interface_items.h"
#include "ui/message_lines.h"
#include "ui/text_entry.h"

namespace fs = std::filesystem;

namespace {

std::string Answered;
intptr_t AnsweredValue = -1;
int Answers = 0;

void RecordText(MenuPage *, const char *text, intptr_t value)
{
    Answered = text;
    AnsweredValue = value;
    ++Answers;
}

uint32_t BoxA = 0;
int BoxAnswers = 0;
void RecordBox(MenuPage *, uint32_t a, uint32_t)
{
    BoxA = a;
    ++BoxAnswers;
}

int ChosenIndex = -1;
void RecordChoice(MenuPage *, intptr_t, int index)
{
    ChosenIndex = index;
}

MenuPage *RunSelf(MenuPage *page)
{
    return page;
}

class DialogsTest : public ::testing::Test {
protected:
    MenuPage page;
    fs::path folder;
    int savedGraphics = 0;

    void SetUp() override
    {
        savedGraphics = GraphicsEnabled;
        GraphicsEnabled = 1;
        InitMenuPage(&page, nullptr, RunSelf, nullptr, nullptr, nullptr, 1);
        SetCurrentScreen(&page);
        InterfaceLayerMode = 1;
        TextEntryActive = 0;
        Answered.clear();
        AnsweredValue = -1;
        Answers = 0;
        BoxAnswers = 0;
        ChosenIndex = -1;
        folder = fs::temp_directory_path() / ("kzv_dialogs_" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }

    void TearDown() override
    {
        GraphicsEnabled = savedGraphics;
        SetCurrentScreen(nullptr);
        InterfaceLayerMode = 0;
        TextEntryActive = 0;
        fs::remove_all(folder);
        ClearMessageLines();
    }

    std::string Pattern() const { return (folder / "*.set").string(); }
    void MakeFile(const std::string &name) const { std::ofstream(folder / (name + ".set")) << "x"; }

    static void Type(const char *text)
    {
        for (const char *p = text; *p != 0; ++p) {
            CurrentScreen->Key(CurrentScreen, static_cast<unsigned char>(*p));
        }
    }
    void ExpectClosed()
    {
        EXPECT_EQ(page.Child, nullptr);
        EXPECT_EQ(CurrentScreen, &page);
        EXPECT_EQ(InterfaceLayerMode, 1u);
        EXPECT_EQ(TextEntryActive, 0);
    }
};

TEST_F(DialogsTest, SaveAsksBeforeOverwriting)
{
    MakeFile("mine");
    const std::string pattern = Pattern();
    OpenTextInputDialog(&page, RecordText, "Save as", 32, 4, nullptr, 0, TextInputSave, pattern.c_str());
    ASSERT_EQ(page.Child, TextInputDialog());
    EXPECT_EQ(InterfaceLayerMode, 2u);
    EXPECT_EQ(TextEntryActive, 1);
    Type("mine");
    CurrentScreen->Key(CurrentScreen, 13);
    EXPECT_EQ(TextInputState(), InputConfirmOverwrite);
    CurrentScreen->Key(CurrentScreen, 'n');
    EXPECT_EQ(TextInputState(), InputEditing);
    EXPECT_EQ(Answers, 0);
    CurrentScreen->Key(CurrentScreen, 13);
    CurrentScreen->Key(CurrentScreen, 'y');
    EXPECT_EQ(Answers, 1);
    EXPECT_EQ(Answered, "mine");
    EXPECT_EQ(AnsweredValue, 4);
    ExpectClosed();

    // No name: "Can't save with no name", and OK returns to the entry.
    OpenTextInputDialog(&page, RecordText, "Save as", 32, 0, nullptr, 0, TextInputSave, pattern.c_str());
    CurrentScreen->Key(CurrentScreen, 13);
    EXPECT_EQ(TextInputState(), InputNoName);
    CurrentScreen->Key(CurrentScreen, ' ');
    EXPECT_EQ(TextInputState(), InputEditing);
    CurrentScreen->Key(CurrentScreen, 27);
    EXPECT_EQ(Answers, 1);
    ExpectClosed();
}

TEST_F(DialogsTest, LoadWithoutFilesAndClickingListedFiles)
{
    const std::string pattern = Pattern();
    OpenTextInputDialog(&page, RecordText, "Load", 32, 0, nullptr, 0, TextInputLoad, pattern.c_str());
    EXPECT_EQ(TextInputState(), InputNoFiles);
    CurrentScreen->Key(CurrentScreen, 13);
    EXPECT_EQ(Answers, 0);
    ExpectClosed();

    MakeFile("alpha");
    MakeFile("beta");
    OpenTextInputDialog(&page, RecordText, "Load", 32, 0, nullptr, 0, TextInputLoad, pattern.c_str());
    ASSERT_EQ(TextInputFileCount(), 2);
    int beta = std::string(TextInputListedName(0)) == "beta" ? 0 : 1;
    FileClicked(TextInputDialog(), 0, beta);
    EXPECT_STREQ(EntryText, "beta");
    EXPECT_EQ(Answers, 0);
    FileClicked(TextInputDialog(), 0, beta);
    EXPECT_EQ(Answers, 1);
    EXPECT_EQ(Answered, "beta");
    ExpectClosed();

    // A typed name that is not there.
    OpenTextInputDialog(&page, RecordText, "Load", 32, 0, nullptr, 0, TextInputLoad, pattern.c_str());
    Type("gamma");
    CurrentScreen->Key(CurrentScreen, 13);
    EXPECT_EQ(TextInputState(), InputNotFound);
    CurrentScreen->Key(CurrentScreen, 13);
    EXPECT_EQ(TextInputState(), InputEditing);
    CurrentScreen->Key(CurrentScreen, 27);
    ExpectClosed();
}

// Presses the dialog's button of that text, as a click would.
bool PressButton(const char *text)
{
    BeginInterfaceFrame();
    TextInputDialog()->Run(TextInputDialog());
    for (int i = 0; i < InterfaceItemCount; ++i) {
        const InterfaceItem &item = InterfaceItems[i];
        if (item.Callback != nullptr && item.Text.p != nullptr && std::string(static_cast<const char *>(item.Text.p)) == text) {
            item.Callback(item.Owner, item.Param.i, 0);
            return true;
        }
    }
    return false;
}

TEST_F(DialogsTest, RenameAndDeleteListedFiles)
{
    MakeFile("one");
    MakeFile("two");
    const std::string pattern = Pattern();
    OpenTextInputDialog(&page, RecordText, "Load", 32, 0, nullptr, 0, TextInputLoad, pattern.c_str());
    Type("one");
    ASSERT_TRUE(PressButton("Rename"));
    EXPECT_EQ(TextInputState(), InputRenaming);
    for (int i = 0; i < 3; ++i) {
        CurrentScreen->Key(CurrentScreen, 8);
    }
    Type("two");
    CurrentScreen->Key(CurrentScreen, 13);
    EXPECT_EQ(TextInputState(), InputNameExists);
    CurrentScreen->Key(CurrentScreen, 13);
    EXPECT_EQ(TextInputState(), InputRenaming);
    for (int i = 0; i < 3; ++i) {
        CurrentScreen->Key(CurrentScreen, 8);
    }
    Type("three");
    CurrentScreen->Key(CurrentScreen, 13);
    EXPECT_EQ(TextInputState(), InputEditing);
    EXPECT_TRUE(fs::exists(folder / "three.set"));
    EXPECT_FALSE(fs::exists(folder / "one.set"));

    ASSERT_TRUE(PressButton("Delete"));
    EXPECT_EQ(TextInputState(), InputConfirmDelete);
    CurrentScreen->Key(CurrentScreen, 'y');
    EXPECT_EQ(TextInputState(), InputEditing);
    EXPECT_FALSE(fs::exists(folder / "three.set"));
    EXPECT_EQ(TextInputFileCount(), 1);
    EXPECT_EQ(Answers, 0);
    CurrentScreen->Key(CurrentScreen, 27);
    ExpectClosed();
}

TEST_F(DialogsTest, MessageBoxAndChoiceBoxKeys)
{
    struct Case {
        int key;
        int yes;
    };
    for (const Case c : {Case{13, 1}, Case{'Y', 1}, Case{'N', 0}, Case{27, 0}}) {
        BoxAnswers = 0;
        OpenMessageBox(&page, RecordBox, "Exit?", nullptr, 7, 0, MessageBoxYesNo);
        ASSERT_EQ(page.Child, MessageBoxDialog());
        EXPECT_EQ(InterfaceLayerMode, 2u);
        CurrentScreen->Key(CurrentScreen, c.key);
        EXPECT_EQ(BoxAnswers, c.yes) << c.key;
        ExpectClosed();
    }
    EXPECT_EQ(BoxA, 7u);

    static const char *const Choices[] = {"a", "b", "c"};
    OpenChoiceBox(&page, RecordChoice, "Pick", Choices, 3, 0, 1);
    ASSERT_EQ(page.Child, ChoiceBoxDialog());
    ChoiceBoxChoose(ChoiceBoxDialog(), 0, 2);
    EXPECT_EQ(ChosenIndex, 2);
    ExpectClosed();
    OpenChoiceBox(&page, RecordChoice, "Pick", Choices, 3, 0, 1);
    CurrentScreen->Key(CurrentScreen, 'x');
    EXPECT_EQ(ChosenIndex, 2);
    ExpectClosed();
}

TEST_F(DialogsTest, NoDialogOverAChildAndNoneWithoutGraphics)
{
    MenuPage child;
    page.Child = &child;
    OpenMessageBox(&page, RecordBox, "x", nullptr, 0, 0, 0);
    OpenTextInputDialog(&page, RecordText, "t", 16, 0, nullptr, 0, 0, nullptr);
    EXPECT_EQ(page.Child, &child);
    EXPECT_EQ(TextEntryActive, 0);
    page.Child = nullptr;

    GraphicsEnabled = 0;
    ClearMessageLines();
    OpenMessageBox(&page, RecordBox, "no graphics", nullptr, 0, 0, 0);
    EXPECT_EQ(page.Child, nullptr);
    ASSERT_EQ(MessageLineCount, 1);
    EXPECT_STREQ(MessageLines[0].Text, "no graphics");
    OpenTextInputDialog(&page, RecordText, "t", 16, 0, nullptr, 0, 0, nullptr);
    EXPECT_EQ(page.Child, nullptr);
}

TEST_F(DialogsTest, ClosingRestoresTheLayerOnceEvenWhenThePageCloses)
{
    OpenTextInputDialog(&page, RecordText, "t", 16, 0, nullptr, 0, 0, nullptr);
    ASSERT_EQ(page.Child, TextInputDialog());
    // The dialog is closed from outside (its page went away): its next run
    // restores the layer mode and the entry flag, and a second close does
    // nothing more.
    ClosePage(TextInputDialog());
    InterfaceLayerMode = 2;
    EXPECT_EQ(TextInputDialog()->Run(TextInputDialog()), nullptr);
    EXPECT_EQ(InterfaceLayerMode, 1u);
    EXPECT_EQ(TextEntryActive, 0);
    InterfaceLayerMode = 5;
    TextInputAnswerPressed(TextInputDialog(), 0, 0);
    EXPECT_EQ(InterfaceLayerMode, 5u);
    InterfaceLayerMode = 1;
}

std::string PromptText;
void RecordPrompt(MenuPage *, const char *text)
{
    PromptText = text;
}

TEST_F(DialogsTest, PromptDialogAnswersWithTheText)
{
    OpenPromptDialog(&page, "Enter new value", 16, RecordPrompt);
    ASSERT_EQ(page.Child, TextInputDialog());
    EXPECT_STREQ(TextInputTitle(), "Enter new value");
    Type("1.5");
    CurrentScreen->Key(CurrentScreen, 13);
    EXPECT_EQ(PromptText, "1.5");
    ExpectClosed();
}

TEST_F(DialogsTest, TitlesOf128CharactersAreEmpty)
{
    const std::string longest(127, 'a');
    const std::string tooLong(128, 'a');
    OpenTextInputDialog(&page, RecordText, longest.c_str(), 16, 0, nullptr, 0, 0, nullptr);
    EXPECT_EQ(std::string(TextInputTitle()), longest);
    CurrentScreen->Key(CurrentScreen, 27);
    OpenTextInputDialog(&page, RecordText, tooLong.c_str(), 16, 0, nullptr, 0, 0, nullptr);
    EXPECT_STREQ(TextInputTitle(), "");
    CurrentScreen->Key(CurrentScreen, 27);
    ExpectClosed();
}

TEST_F(DialogsTest, PageDownStopsAtTheLastFullPage)
{
    for (int i = 0; i < 40; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "f%02d", i);
        MakeFile(name);
    }
    const std::string pattern = Pattern();
    OpenTextInputDialog(&page, RecordText, "Load", 32, 0, nullptr, 0, TextInputLoad, pattern.c_str());
    ASSERT_EQ(TextInputFileCount(), 40);
    for (int i = 0; i < 3; ++i) {
        CurrentScreen->Key(CurrentScreen, KeyCodePageDown);
    }
    EXPECT_EQ(TextInputFirstShown(), 24);
    CurrentScreen->Key(CurrentScreen, 27);
    ExpectClosed();
}

}  // namespace
