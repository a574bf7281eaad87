// The start-up dialogs as Irrlicht GUI windows on the OpenGL device (run under Xvfb): the message
// box, the screen-mode dialog and the file requester, driven frame by frame.
#include "TaTestSupport.h"

#include "app/TaDialogsGui.h"
#include "core/TaLog.h"
#include "engine/TaDialogs.h"
#include "engine/TaEngine.h"
#include "platform/TaWindow.h"

#include <string>

namespace {

struct SDialogScript {
    int pressAt = 2;
    bool chooseWindowed = false;
    const char* fileName = nullptr;
    std::vector<std::string> listed;
    std::string notice;
    std::string text;  // the message box's text
    int frames = 0;    // frames the dialog drew
};

void driveDialog(irr::IrrlichtDevice* device, int frame, void* user)
{
    SDialogScript* script = static_cast<SDialogScript*>(user);
    irr::gui::IGUIElement* root = device->getGUIEnvironment()->getRootGUIElement();
    script->frames = frame + 1;
    if (frame != script->pressAt)
        return;
    if (auto* files = static_cast<irr::gui::IGUIListBox*>(root->getElementFromId(ETADIALOG_FILES, true)))
        for (irr::u32 i = 0; i < files->getItemCount(); ++i)
            script->listed.push_back(irr::core::stringc(files->getListItem(i)).c_str());
    if (irr::gui::IGUIElement* notice = root->getElementFromId(ETADIALOG_NOTICE, true))
        script->notice = irr::core::stringc(notice->getText()).c_str();
    if (irr::gui::IGUIElement* text = root->getElementFromId(ETADIALOG_TEXT, true))
        script->text = irr::core::stringc(text->getText()).c_str();
    if (script->fileName)
        root->getElementFromId(ETADIALOG_FILENAME, true)->setText(irr::core::stringw(script->fileName).c_str());
    if (script->chooseWindowed) {
        auto* windowed = static_cast<irr::gui::IGUICheckBox*>(root->getElementFromId(ETADIALOG_WINDOWED, true));
        windowed->setChecked(true);
        irr::SEvent event;
        event.EventType = irr::EET_GUI_EVENT;
        event.GUIEvent.Caller = windowed;
        event.GUIEvent.Element = nullptr;
        event.GUIEvent.EventType = irr::gui::EGET_CHECKBOX_CHANGED;
        device->postEventFromUser(event);
    }
    taGuiPressButton(device, ETADIALOG_OK);
}

class TaDialogsGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_TRUE(taInstallGuiDialogs()) << "no display: run under xvfb-run";
        taSetGuiDialogHook(driveDialog, &m_script);
    }
    void TearDown() override
    {
        taSetGuiDialogHook(nullptr, nullptr);
        taSetMessageBoxHandler(nullptr, nullptr);
        taSetScreenModeDialogHandler(nullptr, nullptr);
        taSetFileRequesterHandler(nullptr, nullptr);
        TaScratchTest::TearDown();
    }
    SDialogScript m_script;
};

TEST_F(TaDialogsGLTest, MessageBoxClosesWithOk)
{
    taMessageBox("Something went wrong: %d", 42);
    EXPECT_EQ(m_script.text, "Something went wrong: 42");
    EXPECT_EQ(m_script.frames, m_script.pressAt + 1); // it closed on the first press of OK
}

TEST_F(TaDialogsGLTest, ScreenModeDialogGivesTheChosenMode)
{
    m_script.chooseWindowed = true;
    STaScreenMode mode;
    ASSERT_EQ(taScreenModeDialog(&mode), 0);
    // Xvfb runs one 1280 x 1024 mode at 24 bits: listed as a 32-bit mode and selected as the desktop's.
    EXPECT_EQ(mode.width, 1280);
    EXPECT_EQ(mode.height, 1024);
    EXPECT_EQ(mode.bpp, 32);
    EXPECT_EQ(mode.windowed, 1);
    EXPECT_EQ(taScreenModeOption("windowed"), 1);
    EXPECT_EQ(taScreenModeOption("width"), 1280);
    EXPECT_EQ(m_script.notice, ""); // llvmpipe has everything the renderer needs
}

TEST_F(TaDialogsGLTest, FileRequesterListsMatchingFilesAndReturnsTheChoice)
{
    writeFile("city.TSCN", "scene");
    writeFile("notes.txt", "text");
    writeFile("shots/a.png", "png");
    m_script.fileName = "city.TSCN";
    const char* chosen = taFileRequester("Open Tarv file", taFileRequesterFilters);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(std::string(chosen), m_dir + "/city.TSCN");
    const std::vector<std::string> expected = {"../", "shots/", "city.TSCN"};
    EXPECT_EQ(m_script.listed, expected);

    // A name that does not exist keeps the dialog open; Escape-like cancel ends it.
    m_script = SDialogScript();
    m_script.fileName = "missing.tscn";
    m_script.pressAt = 1;
    taSetGuiDialogHook(
        [](irr::IrrlichtDevice* device, int frame, void* user) {
            driveDialog(device, frame, user);
            if (frame == 3)
                taGuiPressButton(device, ETADIALOG_CANCEL);
        },
        &m_script);
    EXPECT_EQ(taFileRequester("Open", taFileRequesterFilters), nullptr);
}

} // namespace
