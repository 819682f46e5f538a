#include "QtControls.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>

#include <algorithm>
#include <filesystem>
#include <set>

#include "GIFImage.h"
#include "PreviewPlayer.h"

namespace anivert {

QString Q(const std::string& Text) { return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size())); }
std::string S(const QString& Text) { return Text.toStdString(); }

// ------------------------------------------------------------ simple controls

TQtRadioButton::TQtRadioButton(QRadioButton* Button) : TQtControl(Button) {}
bool TQtRadioButton::Checked() const { return static_cast<QRadioButton*>(FWidget)->isChecked(); }
void TQtRadioButton::SetChecked(bool Value) {
    auto* B = static_cast<QRadioButton*>(FWidget);
    // Radio buttons of a group uncheck one another; turning one off alone
    // needs the group's exclusivity off for a moment.
    const bool Exclusive = B->autoExclusive();
    if (!Value) B->setAutoExclusive(false);
    B->setChecked(Value);
    B->setAutoExclusive(Exclusive);
}

TQtCheckBox::TQtCheckBox(QCheckBox* Box) : TQtControl(Box) {}

bool TQtMenuCheck::Enabled() const { return FAction->isEnabled(); }
void TQtMenuCheck::SetEnabled(bool Value) { FAction->setEnabled(Value); }
bool TQtMenuCheck::Checked() const { return FAction->isChecked(); }
void TQtMenuCheck::SetChecked(bool Value) { FAction->setChecked(Value); }
bool TQtCheckBox::Checked() const { return static_cast<QCheckBox*>(FWidget)->isChecked(); }
void TQtCheckBox::SetChecked(bool Value) { static_cast<QCheckBox*>(FWidget)->setChecked(Value); }

TQtEdit::TQtEdit(QLineEdit* Edit) : TQtControl(Edit) {}
std::string TQtEdit::Text() const { return S(static_cast<QLineEdit*>(FWidget)->text()); }
void TQtEdit::SetText(const std::string& Value) { static_cast<QLineEdit*>(FWidget)->setText(Q(Value)); }

TQtLabel::TQtLabel(QLabel* Label) : TQtControl(Label) {}
std::string TQtLabel::Text() const { return S(static_cast<QLabel*>(FWidget)->text()); }
void TQtLabel::SetText(const std::string& Value) {
    auto* L = static_cast<QLabel*>(FWidget);
    L->setText(Q(Value));
    L->setToolTip(Q(Value));
}

TQtStatusPane::TQtStatusPane(QLabel* Label) : TQtControl(Label) {}
std::string TQtStatusPane::Text() const { return S(static_cast<QLabel*>(FWidget)->text()); }
void TQtStatusPane::SetText(const std::string& Value) {
    auto* L = static_cast<QLabel*>(FWidget);
    L->setText(Q(Value));
    L->repaint();
}

TQtProgressBar::TQtProgressBar(QProgressBar* Bar) : TQtControl(Bar) {}
int TQtProgressBar::Percent() const { return static_cast<QProgressBar*>(FWidget)->value(); }
void TQtProgressBar::SetPercent(int Value) { static_cast<QProgressBar*>(FWidget)->setValue(std::clamp(Value, 0, 100)); }

std::int32_t TQtWindowFrame::Left() const { return FWindow->x(); }
std::int32_t TQtWindowFrame::Top() const { return FWindow->y(); }
std::int32_t TQtWindowFrame::Width() const { return FWindow->width(); }
std::int32_t TQtWindowFrame::Height() const { return FWindow->height(); }
void TQtWindowFrame::SetLeft(std::int32_t V) { FWindow->move(V, FWindow->y()); }
void TQtWindowFrame::SetTop(std::int32_t V) { FWindow->move(FWindow->x(), V); }
void TQtWindowFrame::SetWidth(std::int32_t V) { FWindow->resize(std::max(V, FWindow->minimumWidth()), FWindow->height()); }
void TQtWindowFrame::SetHeight(std::int32_t V) { FWindow->resize(FWindow->width(), std::max(V, FWindow->minimumHeight())); }
void TQtWindowFrame::SetMinimumSize(std::int32_t W, std::int32_t H) {
    TWindowFrame::SetMinimumSize(W, H);
    FWindow->setMinimumSize(W, H);
}
void TQtWindowFrame::Close() {
    TWindowFrame::Close();
    FWindow->close();
}

// ------------------------------------------------------------ folder tree

namespace {

constexpr int PathRole = Qt::UserRole;
constexpr int FilledRole = Qt::UserRole + 1;

// Calls Pressed before a widget handles a mouse press.
class TPressWatch : public QObject {
public:
    TPressWatch(QObject* Parent, std::function<void()> Pressed) : QObject(Parent), FPressed(std::move(Pressed)) {}

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::MouseButtonPress) FPressed();
        return QObject::eventFilter(Watched, Event);
    }

private:
    std::function<void()> FPressed;
};

std::string PathOf(const QTreeWidgetItem* Item) { return Item ? S(Item->data(0, PathRole).toString()) : std::string(); }

// Whether a folder holds a folder: the node shows an opener only then.
bool HasSubFolder(const std::string& Path) {
    std::error_code Ec;
    for (std::filesystem::directory_iterator It(Path, std::filesystem::directory_options::skip_permission_denied, Ec),
         End;
         !Ec && It != End; It.increment(Ec)) {
        std::error_code E2;
        if (It->is_directory(E2)) return true;
    }
    return false;
}

}  // namespace

TQtFolderTree::TQtFolderTree(QTreeWidget* Tree) : FTree(Tree) {
    FTree->setHeaderHidden(true);
    FTree->setColumnCount(1);
    FRoot = new QTreeWidgetItem(FTree, QStringList{QStringLiteral("/")});
    FRoot->setData(0, PathRole, QStringLiteral("/"));
    FRoot->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    Populate(FRoot);
    FRoot->setExpanded(true);
    QObject::connect(FTree, &QTreeWidget::itemExpanded, FTree, [this](QTreeWidgetItem* Item) { Populate(Item); });
    QObject::connect(FTree, &QTreeWidget::currentItemChanged, FTree, [this](QTreeWidgetItem*, QTreeWidgetItem*) {
        if (OnChange) OnChange();
    });
    // A click on the folder that was selected already reads it afresh.
    FTree->viewport()->installEventFilter(new TPressWatch(FTree, [this] { FCurrentAtPress = FTree->currentItem(); }));
    QObject::connect(FTree, &QTreeWidget::itemClicked, FTree, [this](QTreeWidgetItem* Item, int) {
        const bool Again = Item == FCurrentAtPress && Item == FTree->currentItem();
        FCurrentAtPress = nullptr;
        if (Again && OnReselect) OnReselect();
    });
}

void TQtFolderTree::Refresh(const TTreeNode& Node) {
    QTreeWidgetItem* Item = ItemFor(Node, false);
    if (!Item || !Item->data(0, FilledRole).toBool()) return;
    // Sub-folders that stay keep their items (and what was read below
    // them); gone ones go, unless the selection is inside; new ones come
    // in name order.
    const std::string Path = PathOf(Item);
    const auto Subs = ListSubFolders(Path);
    std::set<QString> Wanted;
    for (const std::string& Name : Subs) Wanted.insert(Q(Name));
    auto HoldsCurrent = [this](QTreeWidgetItem* Child) {
        for (QTreeWidgetItem* I = FTree->currentItem(); I; I = I->parent())
            if (I == Child) return true;
        return false;
    };
    for (int I = Item->childCount() - 1; I >= 0; --I)
        if (!Wanted.count(Item->child(I)->text(0)) && !HoldsCurrent(Item->child(I))) {
            if (Item->child(I) == FCurrentAtPress) FCurrentAtPress = nullptr;
            delete Item->child(I);
        }
    int At = 0;
    for (const std::string& Name : Subs) {
        const QString Text = Q(Name);
        while (At < Item->childCount() && Item->child(At)->text(0) != Text && !Wanted.count(Item->child(At)->text(0)))
            ++At;
        if (At < Item->childCount() && Item->child(At)->text(0) == Text) {
            ++At;
            continue;
        }
        auto* Child = new QTreeWidgetItem(QStringList{Text});
        const std::string ChildPath = IncludeTrailingDelim(Path) + Name;
        Child->setData(0, PathRole, Q(ChildPath));
        Child->setChildIndicatorPolicy(HasSubFolder(ChildPath) ? QTreeWidgetItem::ShowIndicator
                                                               : QTreeWidgetItem::DontShowIndicator);
        Item->insertChild(At++, Child);
    }
    Item->setChildIndicatorPolicy(Item->childCount() ? QTreeWidgetItem::ShowIndicator
                                                     : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TQtFolderTree::Populate(QTreeWidgetItem* Item) {
    if (!Item || Item->data(0, FilledRole).toBool()) return;
    Item->setData(0, FilledRole, true);
    const std::string Path = PathOf(Item);
    const auto Subs = ListSubFolders(Path);
    for (const std::string& Name : Subs) {
        auto* Child = new QTreeWidgetItem(Item, QStringList{Q(Name)});
        const std::string ChildPath = IncludeTrailingDelim(Path) + Name;
        Child->setData(0, PathRole, Q(ChildPath));
        Child->setChildIndicatorPolicy(HasSubFolder(ChildPath) ? QTreeWidgetItem::ShowIndicator
                                                               : QTreeWidgetItem::DontShowIndicator);
    }
    if (Subs.empty()) Item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* TQtFolderTree::ItemFor(const std::string& Path, bool Open) {
    const std::string Target = ExcludeTrailingDelim(Path);
    if (Target.empty() || Target == "/") return FRoot;
    if (Target[0] != PathDelim) return nullptr;
    QTreeWidgetItem* Item = FRoot;
    std::size_t Pos = 1;
    while (Item && Pos <= Target.size()) {
        const std::size_t Next = std::min(Target.find(PathDelim, Pos), Target.size());
        const QString Name = Q(Target.substr(Pos, Next - Pos));
        Populate(Item);
        if (Open) Item->setExpanded(true);
        QTreeWidgetItem* Found = nullptr;
        for (int I = 0; I < Item->childCount(); ++I)
            if (Item->child(I)->text(0) == Name) {
                Found = Item->child(I);
                break;
            }
        Item = Found;
        Pos = Next + 1;
    }
    return Item;
}

std::string TQtFolderTree::SelectedFolder() const { return PathOf(FTree->currentItem()); }

void TQtFolderTree::SetSelectedFolder(const std::string& Path) {
    QTreeWidgetItem* Item = ItemFor(Path, true);
    if (!Item || Item == FTree->currentItem()) return;
    FTree->setCurrentItem(Item);  // fires the change
    FTree->scrollToItem(Item);
}

void TQtFolderTree::Expand(const TTreeNode& Node) {
    if (QTreeWidgetItem* Item = ItemFor(Node, false)) {
        Populate(Item);
        Item->setExpanded(true);
    }
}

TTreeNode TQtFolderTree::FirstChild(const TTreeNode& Node) {
    QTreeWidgetItem* Item = ItemFor(Node, false);
    if (!Item) return {};
    Populate(Item);
    return Item->childCount() ? PathOf(Item->child(0)) : TTreeNode();
}

TTreeNode TQtFolderTree::LastChild(const TTreeNode& Node) {
    QTreeWidgetItem* Item = ItemFor(Node, false);
    if (!Item) return {};
    Populate(Item);
    return Item->childCount() ? PathOf(Item->child(Item->childCount() - 1)) : TTreeNode();
}

TTreeNode TQtFolderTree::NextSibling(const TTreeNode& Node) {
    QTreeWidgetItem* Item = ItemFor(Node, false);
    if (!Item || !Item->parent()) return {};
    QTreeWidgetItem* Parent = Item->parent();
    const int I = Parent->indexOfChild(Item);
    return I + 1 < Parent->childCount() ? PathOf(Parent->child(I + 1)) : TTreeNode();
}

std::string TQtFolderTree::NodeText(const TTreeNode& Node) {
    QTreeWidgetItem* Item = ItemFor(Node, false);
    return Item ? S(Item->text(0)) : ExtractFileName(ExcludeTrailingDelim(Node));
}

// ------------------------------------------------------------ file list

TQtFileList::TQtFileList(QListWidget* List, std::function<std::string()> Folder)
    : FList(List), FFolder(std::move(Folder)) {
    FList->setSelectionMode(QAbstractItemView::SingleSelection);
    FList->setSelectionBehavior(QAbstractItemView::SelectRows);
}

int TQtFileList::RowCount() const { return FList->count(); }

std::string TQtFileList::RowPath(int Row) const {
    QListWidgetItem* Item = FList->item(Row);
    return Item ? S(Item->data(Qt::UserRole).toString()) : std::string();
}

bool TQtFileList::RowSelected(int Row) const {
    QListWidgetItem* Item = FList->item(Row);
    return Item && Item->isSelected();
}

std::vector<std::string> TQtFileList::SelectedFiles() const {
    std::vector<std::string> Out;
    for (int I = 0; I < FList->count(); ++I)
        if (FList->item(I)->isSelected()) Out.push_back(RowPath(I));
    return Out;
}

void TQtFileList::Refresh() {
    const QSignalBlocker Block(FList);
    FList->clear();
    const std::string Folder = FFolder ? FFolder() : std::string();
    if (Folder.empty()) return;
    for (const std::string& Name : ListGifFiles(Folder)) {
        auto* Item = new QListWidgetItem(Q(Name), FList);
        Item->setData(Qt::UserRole, Q(IncludeTrailingDelim(Folder) + Name));
    }
}

// ------------------------------------------------------------ preview

TPreviewWidget::TPreviewWidget(QWidget* Parent) : QWidget(Parent) {}
TPreviewWidget::~TPreviewWidget() = default;

void TPreviewWidget::Play(const TGIFImage* Gif) {
    FPlayer.reset();
    if (Gif) FPlayer = std::make_unique<TGIFPlayer>(*Gif, [this] { update(); });
    update();
}

void TPreviewWidget::paintEvent(QPaintEvent*) {
    if (!FPlayer) return;
    QPainter P(this);
    P.drawImage(0, 0, FPlayer->Picture());
}

void TPreviewWidget::mousePressEvent(QMouseEvent* Event) {
    if (OnMouseDown) OnMouseDown(Event->position().toPoint().x(), Event->position().toPoint().y());
}

void TPreviewWidget::mouseMoveEvent(QMouseEvent* Event) {
    if (OnMouseMove) OnMouseMove(Event->position().toPoint().x(), Event->position().toPoint().y());
}

void TPreviewWidget::mouseReleaseEvent(QMouseEvent*) {
    if (OnMouseUp) OnMouseUp();
}

void TQtPreviewImage::SetPicture(std::unique_ptr<TGIFImage> Gif) {
    FWidget->Play(nullptr);
    TPreviewImage::SetPicture(std::move(Gif));
    FWidget->Play(FPicture.get());
}

void TQtPreviewImage::SetBounds(std::int32_t Left, std::int32_t Top, std::int32_t Width, std::int32_t Height) {
    TPreviewImage::SetBounds(Left, Top, Width, Height);
    FWidget->setGeometry(Left, Top, Width, Height);
}

void TQtPreviewImage::SetCursor(TCursorKind Kind) {
    TPreviewImage::SetCursor(Kind);
    FWidget->setCursor(Kind == TCursorKind::HandPoint ? Qt::OpenHandCursor : Qt::ArrowCursor);
}

std::int32_t TQtPreviewBox::ClientWidth() const { return FArea->maximumViewportSize().width(); }
std::int32_t TQtPreviewBox::ClientHeight() const { return FArea->maximumViewportSize().height(); }
// What the area takes for a bar (as it lays out its viewport).
std::int32_t TQtPreviewBox::ScrollBarSize() const { return FArea->horizontalScrollBar()->sizeHint().height(); }
std::int32_t TQtPreviewBox::HorzPosition() const { return FArea->horizontalScrollBar()->value(); }
std::int32_t TQtPreviewBox::VertPosition() const { return FArea->verticalScrollBar()->value(); }
void TQtPreviewBox::SetHorzPosition(std::int32_t Value) { FArea->horizontalScrollBar()->setValue(Value); }
void TQtPreviewBox::SetVertPosition(std::int32_t Value) { FArea->verticalScrollBar()->setValue(Value); }

void TQtPreviewBox::SetContentSize(std::int32_t Width, std::int32_t Height) {
    TPreviewBox::SetContentSize(Width, Height);
    if (QWidget* Content = FArea->widget()) {
        // Exactly the picture's extent: the area shows a bar only where
        // the picture needs it.
        Content->setMinimumSize(Width, Height);
        Content->resize(Width, Height);
    }
}

}  // namespace anivert
