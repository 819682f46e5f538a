// The main window's controls bound to Qt widgets: each keeps its widget and
// the logic's view of the control in step.
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QProgressBar>
#include <QScrollArea>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <string>

#include "Preview.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace anivert {

class TGIFPlayer;

QString Q(const std::string& S);
std::string S(const QString& Q);

// Enabled and visible state of any widget.
template <class Base>
class TQtControl : public Base {
public:
    explicit TQtControl(QWidget* AWidget) : FWidget(AWidget) {}
    bool Enabled() const override { return FWidget->isEnabled(); }
    void SetEnabled(bool Value) override { FWidget->setEnabled(Value); }
    bool Visible() const override { return !FWidget->isHidden(); }
    void SetVisible(bool Value) override { FWidget->setVisible(Value); }

protected:
    QWidget* FWidget;
};

class TQtButton : public TQtControl<TButton> {
public:
    using TQtControl::TQtControl;
};

class TQtGroupBox : public TQtControl<TGroupBox> {
public:
    using TQtControl::TQtControl;
};

class TQtRadioButton : public TQtControl<TRadioButton> {
public:
    explicit TQtRadioButton(QRadioButton* Button);
    bool Checked() const override;
    void SetChecked(bool Value) override;
};

class TQtCheckBox : public TQtControl<TCheckBox> {
public:
    explicit TQtCheckBox(QCheckBox* Box);
    bool Checked() const override;
    void SetChecked(bool Value) override;
};

// A checkable menu item.
class TQtMenuCheck : public TCheckBox {
public:
    explicit TQtMenuCheck(QAction* Action) : FAction(Action) {}
    bool Enabled() const override;
    void SetEnabled(bool Value) override;
    bool Checked() const override;
    void SetChecked(bool Value) override;

private:
    QAction* FAction;
};

// Edits, labels and status panes.
class TQtEdit : public TQtControl<TEdit> {
public:
    explicit TQtEdit(QLineEdit* Edit);
    std::string Text() const override;
    void SetText(const std::string& Value) override;
};

class TQtLabel : public TQtControl<TLabel> {
public:
    explicit TQtLabel(QLabel* Label);
    std::string Text() const override;
    void SetText(const std::string& Value) override;
};

class TQtStatusPane : public TQtControl<TStatusPane> {
public:
    explicit TQtStatusPane(QLabel* Label);
    std::string Text() const override;
    void SetText(const std::string& Value) override;
};

class TQtProgressBar : public TQtControl<TProgressBar> {
public:
    explicit TQtProgressBar(QProgressBar* Bar);
    int Percent() const override;
    void SetPercent(int Value) override;
};

class TQtWindowFrame : public TWindowFrame {
public:
    explicit TQtWindowFrame(QWidget* Window) : FWindow(Window) {}
    std::int32_t Left() const override;
    std::int32_t Top() const override;
    std::int32_t Width() const override;
    std::int32_t Height() const override;
    void SetLeft(std::int32_t V) override;
    void SetTop(std::int32_t V) override;
    void SetWidth(std::int32_t V) override;
    void SetHeight(std::int32_t V) override;
    void SetMinimumSize(std::int32_t W, std::int32_t H) override;
    void Close() override;

private:
    QWidget* FWindow;
};

// The folder tree: the file system from its root and the user's home
// folder, hidden folders included, sub-folders in name order and listed
// when a node opens.
class TQtFolderTree : public TFolderTree {
public:
    explicit TQtFolderTree(QTreeWidget* Tree);
    std::string SelectedFolder() const override;
    void SetSelectedFolder(const std::string& Path) override;
    TTreeNode Selected() const override { return SelectedFolder(); }
    void Expand(const TTreeNode& Node) override;
    TTreeNode FirstChild(const TTreeNode& Node) override;
    TTreeNode LastChild(const TTreeNode& Node) override;
    TTreeNode NextSibling(const TTreeNode& Node) override;
    std::string NodeText(const TTreeNode& Node) override;
    void Refresh(const TTreeNode& Node) override;

private:
    QTreeWidgetItem* ItemFor(const std::string& Path, bool Open);
    void Populate(QTreeWidgetItem* Item);
    QTreeWidget* FTree;
    QTreeWidgetItem* FRoot = nullptr;
    // The selected item when the mouse was last pressed: a click on it is
    // a reselection.
    QTreeWidgetItem* FCurrentAtPress = nullptr;
};

// The file list: the GIF files of the tree's folder, filled at once.
class TQtFileList : public TFileList {
public:
    TQtFileList(QListWidget* List, std::function<std::string()> Folder);
    int RowCount() const override;
    std::string RowPath(int Row) const override;
    bool RowSelected(int Row) const override;
    std::vector<std::string> SelectedFiles() const override;
    void Refresh() override;

private:
    QListWidget* FList;
    std::function<std::string()> FFolder;
};

// The picture of the preview: plays the GIF it holds.
class TPreviewWidget : public QWidget {
    Q_OBJECT
public:
    explicit TPreviewWidget(QWidget* Parent);
    ~TPreviewWidget() override;
    void Play(const TGIFImage* Gif);
    // Mouse events reach the window's logic through these.
    std::function<void(int X, int Y)> OnMouseDown, OnMouseMove;
    std::function<void()> OnMouseUp;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    std::unique_ptr<TGIFPlayer> FPlayer;
};

class TQtPreviewImage : public TPreviewImage {
public:
    explicit TQtPreviewImage(TPreviewWidget* Widget) : FWidget(Widget) {}
    // The widget stops playing before the picture goes.
    ~TQtPreviewImage() override { FWidget->Play(nullptr); }
    void SetPicture(std::unique_ptr<TGIFImage> Gif) override;
    void SetBounds(std::int32_t Left, std::int32_t Top, std::int32_t Width, std::int32_t Height) override;
    void SetCursor(TCursorKind Kind) override;

private:
    TPreviewWidget* FWidget;
};

class TQtPreviewBox : public TPreviewBox {
public:
    explicit TQtPreviewBox(QScrollArea* Area) : FArea(Area) {}
    std::int32_t ClientWidth() const override;
    std::int32_t ClientHeight() const override;
    std::int32_t ScrollBarSize() const override;
    std::int32_t HorzPosition() const override;
    std::int32_t VertPosition() const override;
    void SetHorzPosition(std::int32_t Value) override;
    void SetVertPosition(std::int32_t Value) override;
    void SetContentSize(std::int32_t Width, std::int32_t Height) override;

private:
    QScrollArea* FArea;
};

}  // namespace anivert
