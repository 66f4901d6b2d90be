// kesta's application object. MAIN is the frame every windowed program of this kind has (the
// start-up sequence, the message loop, the end); DIFFMAIN fills it in: it reads the settings,
// applies the command line, makes the main window and starts the first comparison.
#pragma once

#include <memory>
#include <string>
#include <vector>

class APPLICATION;
class MAINWINDOW;
struct SETTINGS;

class MAIN
{
public:
    MAIN() = default;
    virtual ~MAIN();
    MAIN(const MAIN &) = delete;
    MAIN &operator=(const MAIN &) = delete;

    // The program: registers the window classes, initialises and, when that says so, runs
    // the message loop; always ends the instance. The exit code (1 when the classes cannot
    // be registered).
    int Start(const std::vector<std::string> &arguments);

    // 1 when the classes are registered.
    virtual int RegisterClasses() = 0;
    // 1 to run the message loop, 0 to end at once.
    virtual int InitInstance(const std::vector<std::string> &arguments) = 0;
    virtual void ExitInstance() = 0;
    // The message loop; the code the program ends with.
    virtual int Run();
    // 1 when a message was taken before it reached its window.
    virtual int PreTranslateMessage() { return 0; }
};

class DIFFMAIN : public MAIN
{
public:
    DIFFMAIN();
    ~DIFFMAIN() override;

    int RegisterClasses() override;
    // arguments[0] is the program; options and the two sides follow.
    int InitInstance(const std::vector<std::string> &arguments) override;
    void ExitInstance() override;

    [[nodiscard]] MAINWINDOW *MainWindow() const { return m_window.get(); }
    [[nodiscard]] SETTINGS *Settings() const { return m_settings.get(); }

private:
    std::unique_ptr<SETTINGS> m_settings;
    std::unique_ptr<MAINWINDOW> m_window;
};

// The environment variable that makes kesta close its window once it has painted it: the
// program's own smoke test.
inline constexpr const char *kQuitAfterPaintVariable = "KESTA_TEST_QUIT_AFTER_PAINT";
