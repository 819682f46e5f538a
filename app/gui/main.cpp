// anivert: the desktop program. With a GIF file as its first argument it
// converts that file beside it without showing a window (no display is
// needed) and exits; otherwise it opens the main window.
#include <QApplication>
#include <QCoreApplication>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "AppInfo.h"
#include "MainWindow.h"
#include "QtPlatform.h"

using namespace anivert;

namespace {

// The services of a conversion without a window: nothing is asked, errors
// go to the standard error stream.
class THeadlessPlatform : public TSystemPlatform {
public:
    using TSystemPlatform::TSystemPlatform;
    TMsgResult MessageBox(const std::string& Text, const std::string&, TMsgIcon Icon, TMsgButtons Buttons) override {
        if (Icon == TMsgIcon::Error) std::cerr << Text << "\n";
        return Buttons == TMsgButtons::YesNo ? TMsgResult::Yes : TMsgResult::OK;
    }
    void SetBusyCursor(bool) override {}
    void ProcessMessages() override {}
    std::optional<std::string> BrowseForFolder(const std::string&) override { return std::nullopt; }
    void ShowHelp(const std::string&, int) override {}
    // No dialog is shown in this mode: the message and the reason go to
    // stderr.
    void ReportFailure(const std::string& Path, const std::string& Reason) override {
        std::cerr << "There was an error while converting the file.\n" << Path << ": " << Reason << "\n";
    }
    void ReportSalvaged(const std::string& Path, const std::string& Reason) override {
        std::cerr << Path << ": salvaged: " << Reason << "\n";
    }
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> Args(argv + 1, argv + argc);
    if (Args.size() == 1 && Args[0] == "--version") {
        std::cout << "anivert " << ApplicationVersion() << "\n";
        return 0;
    }
    std::error_code Ec;
    if (!Args.empty() && std::filesystem::is_regular_file(Args[0], Ec)) {
        QCoreApplication App(argc, argv);
        THeadlessPlatform Platform(Args);
        TfrmMain Form(Platform);
        try {
            Form.FormCreate();
        } catch (const std::exception& E) {
            std::cerr << Args[0] << ": " << E.what() << "\n";
            return 1;
        }
        Form.FormClose();
        return Form.LastJobSucceeded ? 0 : 1;
    }
    QApplication App(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Anivert"));
    TQtPlatform Platform(Args);
    TMainWindow Window(Platform);
    Platform.Owner = &Window;
    try {
        Window.Form().FormCreate();
    } catch (const std::exception& E) {
        // The window opens all the same, with what was read.
        Platform.MessageBox(E.what(), TfrmMain::Title, TMsgIcon::Error, TMsgButtons::OK);
    }
    Window.show();
    return QApplication::exec();
}
