#include "gui/diffmain.h"

#include "engine/comparison.h"
#include "gui/command_line.h"
#include "gui/mainwindow.h"
#include "gui/settings.h"
#include "toolkit/application.h"
#include "toolkit/desktop.h"
#include "toolkit/progresscontrol.h"

#include <cstdlib>

MAIN::~MAIN() = default;

int MAIN::Start(const std::vector<std::string> &arguments)
{
    // One process is one instance: the classes are always registered here.
    if (RegisterClasses() == 0)
        return 1;
    int result = 0;
    if (InitInstance(arguments) == 1)
        result = Run();
    ExitInstance();
    return result;
}

int MAIN::Run()
{
    // Accelerators are translated by the main window itself as its keys arrive.
    return RunMessageLoop();
}

DIFFMAIN::DIFFMAIN() = default;

DIFFMAIN::~DIFFMAIN()
{
    ExitInstance();
}

int DIFFMAIN::RegisterClasses()
{
    return RegisterMainWindowClass() != 0 && RegisterGaugeClass() != 0 ? 1 : 0;
}

int DIFFMAIN::InitInstance(const std::vector<std::string> &arguments)
{
    if (m_settings)
        return 0;
    m_settings = std::make_unique<SETTINGS>();
    // The window takes the screen less a row of icons unless the profile says otherwise.
    const ScreenSize screen = PrimaryScreenSize();
    if (screen.width > 0 && screen.height > 0) {
        m_settings->cxWidth = screen.width;
        m_settings->cyHeight = screen.height - kIconRowHeight;
    }
    m_settings->Load();
    const KestaCommandLine commandLine = ApplyCommandLine(arguments, *m_settings);

    m_window = std::make_unique<MAINWINDOW>(*m_settings);
    if (!m_window->Create())
        return 0;
    if (std::getenv(kQuitAfterPaintVariable) != nullptr)
        m_window->CloseAfterFirstPaint();

    const STRING left = FullSidePath(commandLine.left);
    const STRING right = FullSidePath(commandLine.right);
    if (!left.empty() && !right.empty()) {
        // Sides from the command line keep the exclusion patterns last used.
        m_window->SetSide(kSideLeft, left, m_settings->leftExclusionHistory.Current());
        m_window->SetSide(kSideRight, right, m_settings->rightExclusionHistory.Current());
        m_window->Refresh();
    } else {
        m_window->SendCommand(kCmdSelectFiles);
    }
    return 1;
}

void DIFFMAIN::ExitInstance()
{
    m_window.reset();
    m_settings.reset();
}
