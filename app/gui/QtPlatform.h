// The desktop program's services: the system's (files, settings, mutex,
// documents) plus the interactive ones over Qt Widgets.
#pragma once

#include "SystemPlatform.h"

class QWidget;

namespace anivert {

class TQtPlatform : public TSystemPlatform {
public:
    using TSystemPlatform::TSystemPlatform;

    // The window that owns dialogs.
    QWidget* Owner = nullptr;

    TMsgResult MessageBox(const std::string& Text, const std::string& Title, TMsgIcon Icon,
                          TMsgButtons Buttons) override;
    void SetBusyCursor(bool Busy) override;
    void ProcessMessages() override;
    std::optional<std::string> BrowseForFolder(const std::string& Initial) override;
    // The help is an HTML page beside the help file's name (NAME.html for
    // NAME.hlp), opened with the system's viewer.
    void ShowHelp(const std::string& HelpFile, int Command) override;
    void ShowAbout() override;

private:
    int FBusy = 0;
};

}  // namespace anivert
