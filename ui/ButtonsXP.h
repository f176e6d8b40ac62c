// TBitBtnXP: a push button with a small picture (the glyph) beside its
// caption, painted completely by the button: its face with the platform's
// style (or the classic 3D frame without it), glyph and caption laid out
// with the button's own integer arithmetic, disabled looks derived from the
// glyph, and predefined kinds that set caption, glyph, role and dialog
// result in one step.
#pragma once

#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <array>
#include <functional>
#include <memory>

namespace sondrel {

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TGlyphList;

class TBitBtnXP : public QPushButton {
    Q_OBJECT
public:
    explicit TBitBtnXP(QWidget* parent = nullptr);
    ~TBitBtnXP() override;

    // The kind; reads back bkCustom once a role, the dialog result or the
    // glyph no longer match it.
    TBitBtnKind Kind();
    void SetKind(TBitBtnKind kind);
    const QPixmap& Glyph() const { return glyph_; }
    void SetGlyph(const QPixmap& glyph);
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int n);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout layout);
    int Margin() const { return margin_; }
    void SetMargin(int margin);  // -1 centres; values below -1 are ignored
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing);  // -1 spreads the free space evenly
    // The dialog result a click hands to the dialog around the button.
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    // The cancel role: Escape in the button's window presses it.
    bool Cancel() const { return cancel_; }
    void SetCancel(bool cancel);
    bool Active() const { return active_; }

    // Where glyph and caption go inside a rectangle of clientSize.
    static void CalcLayout(QSize clientSize, QSize glyphSize, QSize textSize, TButtonLayout layout, int margin,
                           int spacing, QPoint& glyphPos, QPoint& textPos);
    // The image a state shows (made on first use, kept until the glyph or
    // NumGlyphs changes).
    QPixmap StateImage(TButtonState state);
    // The shared list this button's state images live in, and how many
    // such lists exist (one per glyph size in use).
    const TGlyphList* ImageList() const { return list_.get(); }
    static int LiveImageLists();
    // Without the platform's style the classic frame is drawn.
    static bool UseVisualStyles;
    // The application's help: called with a help context by kind bkHelp.
    static std::function<void(int)> HelpHandler;

    QSize sizeHint() const override;

signals:
    void modalResultChosen(int result);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Clicked();
    void UpdateActive();
    void DropImages();
    QPixmap Image(int index) const;
    QColor TransparentColour() const;

    TBitBtnKind kind_ = bkCustom;
    QPixmap glyph_;
    int numGlyphs_ = 1;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    int spacing_ = 4;
    int modalResult_ = 0;
    bool cancel_ = false;
    bool active_ = false;
    bool glyphReplaced_ = false;
    std::shared_ptr<TGlyphList> list_;
    std::array<int, 4> slots_{-1, -1, -1, -1};
    QShortcut* escape_ = nullptr;
    bool shownOnce_ = false;
};

namespace glyphs {
// Two-image strips (normal and disabled) of the program's own buttons.
QPixmap Add();
QPixmap Remove();
QPixmap RemoveAll();
QPixmap Open();
QPixmap Save();
QPixmap Web();
// The shared glyph of a kind, loaded once and kept.
const QPixmap& ForKind(TBitBtnKind kind);
}  // namespace glyphs

}  // namespace sondrel
