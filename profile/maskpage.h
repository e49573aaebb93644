#pragma once

#include <QListWidget>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "filetypes.h"

class QDrag;
class QGroupBox;
class QLineEdit;
class QMimeData;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TProfile;
class TMaskPage;

// The include and exclude pages of the profile editor and the profile wizard: on each the
// registered file types and a custom-type edit on the left, the page's mask list on the
// right, and between them the arrow buttons that insert the chosen type into the list or
// delete the selected mask (the Insert and Delete keys do the same). Every change goes to the
// profile at once.
//
// Usage in a dialog:
//     Masks = new TMaskPages(TMaskCaptions::Editor, this);  // or ::Wizard
//     includeLayout->addWidget(Masks->IncludePage());       // place both pages
//     excludeLayout->addWidget(Masks->ExcludePage());
//     if (!Masks->BuildMaskLists()) { DisplayMessage(352, MB_ICONSTOP); ... }
//     Masks->SetProfile(profile);       // when the profile is known: fills both mask lists
//     Masks->IncludePageShow();         // when the include page is shown (ExcludePageShow
//                                       // likewise); showing a page also does it
//     Masks->IncludeListEmpty()         // the include page's check (message 760)
//     Masks->MasksText(true / false)    // the summary's texts
//     Masks->Refill();                  // after the profile changed elsewhere (undo)
// The wizard also calls SetCustomKeyFilter(true). The controls are named by page prefix
// ("Include"/"Exclude"): ...Source, ...Custom, ...Masks, ...InsertButton, ...DeleteButton,
// ...DefButton, so the dialogs and their tests find them by name.

// Whose captions the pages carry.
enum class TMaskCaptions { Editor, Wizard };

// The mask list box: sorted masks, each drawn as the mask in a first column and the type's
// description beside it. It takes a drop from its own page's sources.
class TMaskListBox : public QListWidget {
    Q_OBJECT

  public:
    static constexpr int kMaskColumnWidth = 60;

    TMaskListBox(TMaskPage* page, QWidget* owner);

    // The masks, in the order shown.
    std::vector<std::string> Masks() const;
    // Shows masks, sorted ignoring case.
    void SetMasks(std::vector<std::string> masks);
    // The row of mask (ignoring case), -1 when it is not listed.
    int RowOf(const std::string& mask) const;
    // The description drawn beside the entry in row.
    std::string DescriptionAt(int row) const;

  protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    TMaskPage* Page;
};

// Draws one entry of a mask list box.
class TMaskItemDelegate : public QStyledItemDelegate {
  public:
    explicit TMaskItemDelegate(TMaskListBox* box);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    TMaskListBox* Box;
};

// One page's controls and what happens on them. Made by TMaskPages, which pairs it with the
// other page.
class TMaskPage : public QWidget {
    Q_OBJECT

  public:
    // The mask control the user last worked in: where Insert takes its mask from.
    enum TMaskControl { mcNone, mcSource, mcCustom };

    TMaskPage(bool include, TMaskCaptions captions);

    bool Include() const { return IsInclude; }

    QTreeWidget* Source() const { return SourceView; }
    QLineEdit* Custom() const { return CustomEdit; }
    TMaskListBox* Masks() const { return MaskList; }
    QToolButton* InsertButton() const { return Insert; }
    QToolButton* DeleteButton() const { return Delete; }
    QPushButton* DefButton() const { return Defaults; }

    // The mask Insert would add now: the selected registered type after the registered
    // list, else the custom edit's text with a leading dot; empty when there is none.
    std::string CandidateMask() const;
    TMaskControl LastMaskControl() const { return LastControl; }

    // Moves and shows the arrow buttons for the control that has the focus.
    void UpdateArrows();

    // What a drag from this page's sources carries, and whether a drop comes from them;
    // for the list box and for tests that drive a drop.
    QMimeData* MakeDragData(TMaskControl from) const;
    TMaskControl DragSourceOf(const QMimeData* data) const;
    bool CanDrop(const QMimeData* data) const;
    void Drop(const QMimeData* data);

    // Starts a drag; tests replace it to look at the drag without a window system's loop.
    std::function<void(QDrag* drag)> ExecDrag;

  Q_SIGNALS:
    // Insert, delete or defaults changed the profile's masks.
    void MasksChanged();

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    friend class TMaskPages;
    friend class TMaskListBox;

    void MakeControls(TMaskCaptions captions);
    void Connect();

    // The shared handlers.
    void SourceMasksEnter();
    void SourceMasksSelectItem();
    void SourceMaskEnter();
    void SourceMaskChange();
    void TargetMasksEnter();
    void InsertButtonClick();
    void DeleteButtonClick();
    void DefButtonClick();
    void InsertFrom(TMaskControl from);

    void SelectMatchingMask(const std::string& mask);
    bool HasSomethingToInsert() const;
    void PlaceButton(QToolButton* button, QWidget* beside, const QRect& rect);
    bool StartDragFrom(QObject* watched, QEvent* e);

    bool IsInclude;
    TMaskControl LastControl = mcNone;
    QWidget* FocusedControl = nullptr;  // the mask control the arrows follow
    QPoint PressPos;
    QObject* PressedIn = nullptr;

    QGroupBox* SourceBox;
    QTreeWidget* SourceView;
    QGroupBox* CustomBox;
    QLineEdit* CustomEdit;
    QGroupBox* MasksBox;
    TMaskListBox* MaskList;
    QWidget* Gutter;
    QToolButton* Insert;
    QToolButton* Delete;
    QPushButton* Defaults;

    std::vector<TFileType> Types;  // as the registered list shows them
    TProfile* Profile = nullptr;
    TMaskPage* Other = nullptr;
    std::function<void(TMaskPage*)> Shown;
};

// The mask page record of a dialog: its two pages, the page in front, the profile they edit.
class TMaskPages : public QObject {
    Q_OBJECT

  public:
    TMaskPages(TMaskCaptions captions, QObject* owner);
    ~TMaskPages() override;

    // The two pages, to be placed by the dialog (which then owns them).
    TMaskPage* IncludePage() const { return Include; }
    TMaskPage* ExcludePage() const { return Exclude; }
    // The page in front (the include page at first).
    TMaskPage* ActivePage() const { return Active; }

    // Fills both registered-types lists: "All Files" first, then the types of source, then
    // the backup and temporary files. False (the reason shown) when source failed.
    bool BuildMaskLists(
        const std::function<std::vector<TFileType>()>& source = RegisteredFileTypes);

    // The profile both pages edit (not owned); fills both mask lists from it.
    void SetProfile(TProfile* profile);
    // Shows the profile's masks again.
    void Refill();

    void IncludePageShow();
    void ExcludePageShow();

    // The custom edits drop . < > : " / \ | as they are typed (the wizard's edits).
    void SetCustomKeyFilter(bool on);

    // The masks a page's list shows, as comma text; whether the include list is empty.
    std::string MasksText(bool include) const;
    bool IncludeListEmpty() const;

  private:
    void Activate(TMaskPage* page);

    QPointer<TMaskPage> Include;
    QPointer<TMaskPage> Exclude;
    TMaskPage* Active;
};

// The text drawn beside a mask: the description of the registered type with that
// extension (ignoring case), else the mask without its dots followed by " Files".
std::string MaskDescription(const std::string& mask, const std::vector<TFileType>& types);
