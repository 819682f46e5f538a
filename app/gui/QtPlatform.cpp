#include "QtPlatform.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "MainWindow.h"

namespace anivert {

TMsgResult TQtPlatform::MessageBox(const std::string& Text, const std::string& Title, TMsgIcon Icon,
                                   TMsgButtons Buttons) {
    QMessageBox Box(Owner);
    Box.setWindowTitle(Q(Title));
    Box.setText(Q(Text));
    Box.setIcon(Icon == TMsgIcon::Error      ? QMessageBox::Critical
                : Icon == TMsgIcon::Question ? QMessageBox::Question
                                             : QMessageBox::Information);
    if (Buttons == TMsgButtons::YesNo) {
        Box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        Box.setDefaultButton(QMessageBox::Yes);
    } else {
        Box.setStandardButtons(QMessageBox::Ok);
    }
    // The busy cursor must not cover a question.
    const bool Busy = FBusy > 0;
    if (Busy) QApplication::restoreOverrideCursor();
    const int Result = Box.exec();
    if (Busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (Buttons == TMsgButtons::YesNo) return Result == QMessageBox::Yes ? TMsgResult::Yes : TMsgResult::No;
    return TMsgResult::OK;
}

void TQtPlatform::SetBusyCursor(bool Busy) {
    if (Busy && FBusy == 0) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        FBusy = 1;
    } else if (!Busy && FBusy > 0) {
        QApplication::restoreOverrideCursor();
        FBusy = 0;
    }
}

void TQtPlatform::ProcessMessages() { QApplication::processEvents(); }

std::optional<std::string> TQtPlatform::BrowseForFolder(const std::string& Initial) {
    const QString Dir = QFileDialog::getExistingDirectory(Owner, QStringLiteral("Output folder"), Q(Initial));
    if (Dir.isEmpty()) return std::nullopt;
    return S(Dir);
}

void TQtPlatform::ShowHelp(const std::string& HelpFile, int) {
    const std::string Page = ChangeFileExt(HelpFile, ".html");
    if (FileExists(Page)) OpenDocument(Page);
    else
        MessageBox("The help file " + Page + " was not found.", "Anivert", TMsgIcon::Error, TMsgButtons::OK);
}

void TQtPlatform::ShowAbout() {
    TfrmAbout About(Owner);
    About.exec();
}

}  // namespace anivert
