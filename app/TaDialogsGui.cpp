// Dialog windows.
#include "app/TaDialogsGui.h"

#include "engine/TaDialogs.h"
#include "engine/TaEngine.h"
#include "core/TaLog.h"
#include "platform/TaPlatform.h"
#include "platform/TaWindow.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace irr;

namespace {

TaGuiDialogHook g_hook = nullptr;
void* g_hookUser = nullptr;

// The dialogs' colours: grey texts on black, the notice in orange.
const video::SColor kBackground(255, 0, 0, 0);
const video::SColor kText(255, 170, 170, 170);
const video::SColor kNotice(255, 255, 136, 68);

// One modal window: its own device and an event receiver that the dialog fills in.
class CTaDialogWindow : public IEventReceiver
{
public:
    CTaDialogWindow(int width, int height, const wchar_t* caption)
    {
        SIrrlichtCreationParameters params;
        params.DriverType = video::EDT_BURNINGSVIDEO;
        params.WindowSize = core::dimension2du(width, height);
        params.EventReceiver = this;
        params.LoggingLevel = ELL_NONE;
        m_device = taCreateIrrlichtDevice(params);
        if (!m_device) {
            params.DriverType = video::EDT_SOFTWARE;
            m_device = taCreateIrrlichtDevice(params);
        }
        if (!m_device)
            return;
        m_device->setWindowCaption(caption);
        gui::IGUISkin* skin = m_device->getGUIEnvironment()->getSkin();
        skin->setColor(gui::EGDC_BUTTON_TEXT, kText);
        skin->setColor(gui::EGDC_3D_FACE, video::SColor(255, 40, 40, 40));
        skin->setColor(gui::EGDC_WINDOW, video::SColor(255, 20, 20, 20));
        skin->setColor(gui::EGDC_HIGH_LIGHT, video::SColor(255, 68, 136, 255));
        skin->setColor(gui::EGDC_HIGH_LIGHT_TEXT, video::SColor(255, 255, 255, 255));
        skin->setColor(gui::EGDC_EDITABLE, video::SColor(255, 30, 30, 30));
        skin->setColor(gui::EGDC_FOCUSED_EDITABLE, video::SColor(255, 45, 45, 45));
    }
    ~CTaDialogWindow() override
    {
        if (m_device) {
            m_device->closeDevice();
            m_device->run();
            m_device->drop();
        }
    }
    bool valid() const { return m_device != nullptr; }
    gui::IGUIEnvironment* gui() { return m_device->getGUIEnvironment(); }

    // Runs until the dialog ends (result 0 accepted, -1 cancelled or closed).
    int run()
    {
        int frame = 0;
        while (m_result == 1 && m_device->run()) {
            video::IVideoDriver* driver = m_device->getVideoDriver();
            driver->beginScene(true, true, kBackground);
            gui()->drawAll();
            driver->endScene();
            if (g_hook)
                g_hook(m_device, frame, g_hookUser);
            ++frame;
            m_device->sleep(10);
        }
        return m_result == 1 ? -1 : m_result;
    }

    bool OnEvent(const SEvent& event) override
    {
        if (event.EventType == EET_KEY_INPUT_EVENT && event.KeyInput.PressedDown) {
            if (event.KeyInput.Key == KEY_ESCAPE) {
                m_result = -1;
                return true;
            }
            if (event.KeyInput.Key == KEY_RETURN && acceptsReturn())
                return onButton(ETADIALOG_OK);
        }
        if (event.EventType == EET_GUI_EVENT && event.GUIEvent.Caller) {
            const int id = event.GUIEvent.Caller->getID();
            switch (event.GUIEvent.EventType) {
            case gui::EGET_BUTTON_CLICKED:
                return onButton(id);
            case gui::EGET_CHECKBOX_CHANGED:
                onCheckBox(id);
                return true;
            case gui::EGET_LISTBOX_CHANGED:
                onListSelect(id, false);
                return true;
            case gui::EGET_LISTBOX_SELECTED_AGAIN:
                onListSelect(id, true);
                return true;
            case gui::EGET_COMBO_BOX_CHANGED:
                onComboBox(id);
                return true;
            default:
                break;
            }
        }
        return false;
    }

protected:
    virtual bool acceptsReturn() { return true; }
    virtual bool onButton(int id)
    {
        if (id == ETADIALOG_OK)
            m_result = 0;
        else if (id == ETADIALOG_CANCEL)
            m_result = -1;
        return true;
    }
    virtual void onCheckBox(int) {}
    virtual void onListSelect(int, bool) {}
    virtual void onComboBox(int) {}

    IrrlichtDevice* m_device = nullptr;
    int m_result = 1; // 1 while running
};

core::stringw wide(const std::string& text)
{
    return core::stringw(text.c_str());
}

// --- Message box --------------------------------------------------------------------------------

void showMessageBox(const char* title, const char* text, void*)
{
    // Long texts wrap; the height follows the number of lines.
    const std::string message = text ? text : "";
    const int lines = 1 + static_cast<int>(std::count(message.begin(), message.end(), '\n')) +
                      static_cast<int>(message.size() / 70);
    const int height = std::min(600, 90 + lines * 14);
    CTaDialogWindow window(500, height, wide(title ? title : "Tarv").c_str());
    if (!window.valid()) {
        taMessageBoxConsole(title, message.c_str());
        return;
    }
    // The render window steps aside while the box is up.
    const bool hideRender = taIsStarted();
    if (hideRender)
        taHideWindow();
    gui::IGUIStaticText* label = window.gui()->addStaticText(wide(message).c_str(), core::rect<s32>(15, 15, 485, height - 50),
                                                             false, true, nullptr, ETADIALOG_TEXT);
    label->setOverrideColor(kText);
    window.gui()->addButton(core::rect<s32>(210, height - 40, 290, height - 14), nullptr, ETADIALOG_OK, L"OK");
    window.run();
    if (hideRender)
        taShowWindow();
}

// --- Screen-mode dialog -------------------------------------------------------------------------

class CTaScreenModeDialog : public CTaDialogWindow
{
public:
    CTaScreenModeDialog() : CTaDialogWindow(360, 300, L"Tarv") {}

    int show(STaScreenMode* result)
    {
        if (!valid())
            return -1;
        gui::IGUIEnvironment* env = gui();
        // The banner.
        gui::IGUIStaticText* banner = env->addStaticText(L"T A R V", core::rect<s32>(0, 0, 360, 60), false, false);
        banner->setBackgroundColor(video::SColor(255, 24, 48, 96));
        banner->setOverrideColor(video::SColor(255, 255, 255, 255));
        banner->setTextAlignment(gui::EGUIA_CENTER, gui::EGUIA_CENTER);

        // The system's modes (the device's own list needs an extension Debian's build leaves out).
        std::vector<STaVideoModeEntry> reported;
        STaVideoModeEntry desktop{0, 0, 0, 0};
        taPlatformDisplayModes(reported, desktop);
        m_modes = taScreenModeList(reported);
        gui::IGUIStaticText* label = env->addStaticText(L"Screen mode", core::rect<s32>(30, 78, 130, 96));
        label->setOverrideColor(kText);
        m_list = env->addComboBox(core::rect<s32>(130, 75, 330, 97), nullptr, ETADIALOG_MODES);
        for (const STaVideoModeEntry& mode : m_modes)
            m_list->addItem(wide(taScreenModeLabel(mode)).c_str());
        m_list->setSelected(taScreenModeInitialSelection(m_modes, desktop));

        m_fullScreen = env->addCheckBox(true, core::rect<s32>(30, 110, 180, 130), nullptr, ETADIALOG_FULLSCREEN,
                                        L"Full screen");
        m_windowed = env->addCheckBox(false, core::rect<s32>(190, 110, 330, 130), nullptr, ETADIALOG_WINDOWED,
                                      L"Windowed");
        env->addButton(core::rect<s32>(130, 145, 230, 175), nullptr, ETADIALOG_OK, L"Start");
        const char* missing = taCheckD3DLibraries();
        gui::IGUIStaticText* notice = env->addStaticText(wide(missing ? missing : "").c_str(),
                                                         core::rect<s32>(15, 190, 345, 290), false, true, nullptr,
                                                         ETADIALOG_NOTICE);
        notice->setOverrideColor(kNotice);
        if (run() != 0)
            return -1;
        const int selected = m_list->getSelected();
        if (selected < 0 || selected >= static_cast<int>(m_modes.size()))
            return -1;
        *result = taEmptyScreenMode();
        result->width = m_modes[selected].width;
        result->height = m_modes[selected].height;
        result->bpp = m_modes[selected].bpp;
        result->windowed = m_fullScreen->isChecked() ? 0 : 1;
        return 0;
    }

protected:
    bool onButton(int id) override
    {
        // Start needs a mode; without one the dialog stays.
        if (id == ETADIALOG_OK && m_list->getSelected() < 0)
            return true;
        return CTaDialogWindow::onButton(id);
    }
    // The two boxes act as radio buttons.
    void onCheckBox(int id) override
    {
        const bool full = id == ETADIALOG_FULLSCREEN ? m_fullScreen->isChecked() : !m_windowed->isChecked();
        m_fullScreen->setChecked(full);
        m_windowed->setChecked(!full);
    }

private:
    std::vector<STaVideoModeEntry> m_modes;
    gui::IGUIComboBox* m_list = nullptr;
    gui::IGUICheckBox* m_fullScreen = nullptr;
    gui::IGUICheckBox* m_windowed = nullptr;
};

int showScreenModeDialog(STaScreenMode* mode, void*)
{
    CTaScreenModeDialog dialog;
    return dialog.show(mode);
}

// --- File requester -----------------------------------------------------------------------------

class CTaFileRequester : public CTaDialogWindow
{
public:
    explicit CTaFileRequester(const char* title) : CTaDialogWindow(520, 420, wide(title ? title : "Tarv").c_str()) {}

    const char* show(const char* const* filters)
    {
        if (!valid())
            return nullptr;
        gui::IGUIEnvironment* env = gui();
        m_directory = taPlatformCurrentDirectory();
        if (m_directory.empty() || m_directory.back() != '/')
            m_directory += '/';
        m_path = env->addStaticText(L"", core::rect<s32>(10, 8, 510, 24));
        m_path->setOverrideColor(kText);
        m_files = env->addListBox(core::rect<s32>(10, 28, 510, 330), nullptr, ETADIALOG_FILES, true);
        m_name = env->addEditBox(L"", core::rect<s32>(10, 338, 510, 360), true, nullptr, ETADIALOG_FILENAME);
        m_filterList = env->addComboBox(core::rect<s32>(10, 370, 290, 392), nullptr, ETADIALOG_FILTERS);
        for (const char* const* f = filters; f && f[0] && f[1]; f += 2) {
            m_filters.push_back(f[1]);
            m_filterList->addItem(wide(f[0]).c_str());
        }
        if (m_filters.empty()) {
            m_filters.push_back("*.*");
            m_filterList->addItem(L"All");
        }
        m_filterList->setSelected(0);
        env->addButton(core::rect<s32>(320, 368, 410, 394), nullptr, ETADIALOG_OK, L"Open");
        env->addButton(core::rect<s32>(420, 368, 510, 394), nullptr, ETADIALOG_CANCEL, L"Cancel");
        fill();
        if (run() != 0)
            return nullptr;
        return m_chosen.c_str();
    }

protected:
    bool onButton(int id) override
    {
        if (id != ETADIALOG_OK)
            return CTaDialogWindow::onButton(id);
        choose(core::stringc(m_name->getText()).c_str());
        return true;
    }
    void onListSelect(int id, bool again) override
    {
        if (id != ETADIALOG_FILES)
            return;
        const int selected = m_files->getSelected();
        if (selected < 0 || selected >= static_cast<int>(m_entries.size()))
            return;
        const std::string& entry = m_entries[selected];
        if (!again) {
            if (entry.back() != '/')
                m_name->setText(wide(entry).c_str());
            return;
        }
        choose(entry.c_str());
    }
    void onComboBox(int id) override
    {
        if (id == ETADIALOG_FILTERS)
            fill();
    }

private:
    // A directory opens; an existing file ends the dialog; anything else leaves it as it is.
    void choose(const char* name)
    {
        if (!name || !*name)
            return;
        std::string path = name[0] == '/' ? std::string(name) : m_directory + name;
        if (!path.empty() && path.back() == '/')
            path.pop_back();
        if (std::string(name) == "../") {
            const size_t slash = m_directory.find_last_of('/', m_directory.size() - 2);
            if (slash != std::string::npos)
                m_directory.resize(slash + 1);
            fill();
            return;
        }
        const ETaPathKind kind = taPlatformPathKind(path.c_str());
        if (kind == ETAPATH_DIRECTORY) {
            m_directory = path + "/";
            m_name->setText(L"");
            fill();
        } else if (kind == ETAPATH_FILE) {
            m_chosen = path;
            m_result = 0;
        }
    }

    void fill()
    {
        m_path->setText(wide(m_directory).c_str());
        m_files->clear();
        std::vector<std::string> directories, files;
        const int filter = m_filterList->getSelected();
        const char* patterns = m_filters[filter >= 0 ? filter : 0].c_str();
        taPlatformListDirectory(m_directory.c_str(), [&](const char* name, bool isDirectory) {
            if (name[0] == '.')
                return;
            if (isDirectory)
                directories.push_back(std::string(name) + "/");
            else if (taFileMatchesFilter(name, patterns))
                files.push_back(name);
        });
        std::sort(directories.begin(), directories.end());
        std::sort(files.begin(), files.end());
        m_entries.clear();
        if (m_directory != "/")
            m_entries.push_back("../");
        m_entries.insert(m_entries.end(), directories.begin(), directories.end());
        m_entries.insert(m_entries.end(), files.begin(), files.end());
        for (const std::string& entry : m_entries)
            m_files->addItem(wide(entry).c_str());
    }

    std::string m_directory, m_chosen;
    std::vector<std::string> m_filters, m_entries;
    gui::IGUIStaticText* m_path = nullptr;
    gui::IGUIListBox* m_files = nullptr;
    gui::IGUIEditBox* m_name = nullptr;
    gui::IGUIComboBox* m_filterList = nullptr;
};

std::string g_requesterResult;

const char* showFileRequester(const char* title, const char* const* filters, void*)
{
    CTaFileRequester requester(title);
    const char* chosen = requester.show(filters);
    if (!chosen)
        return nullptr;
    g_requesterResult = chosen;
    return g_requesterResult.c_str();
}

} // namespace

bool taInstallGuiDialogs()
{
    if (!taPlatformHasDisplay())
        return false;
    taSetMessageBoxHandler(showMessageBox, nullptr);
    taSetScreenModeDialogHandler(showScreenModeDialog, nullptr);
    taSetFileRequesterHandler(showFileRequester, nullptr);
    return true;
}

void taSetGuiDialogHook(TaGuiDialogHook hook, void* user)
{
    g_hook = hook;
    g_hookUser = user;
}

void taGuiPressButton(IrrlichtDevice* device, int id)
{
    gui::IGUIElement* element = device->getGUIEnvironment()->getRootGUIElement()->getElementFromId(id, true);
    if (!element)
        return;
    SEvent event;
    event.EventType = EET_GUI_EVENT;
    event.GUIEvent.Caller = element;
    event.GUIEvent.Element = nullptr;
    event.GUIEvent.EventType = gui::EGET_BUTTON_CLICKED;
    device->postEventFromUser(event);
}
