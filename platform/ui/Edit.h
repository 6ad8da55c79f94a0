#pragma once
// Text input: TEdit (one line) and TMemo (lines).
//
// Typing (WM_CHAR) replaces the selection with the character; Backspace
// deletes the selection or the character before the caret. Focusing an edit
// by keyboard or SetFocus selects all its text (AutoSelect); a click puts
// the caret at the end. OnChange fires for changes the user makes, not for
// SetText by code.

#include "platform/os/StringList.h"
#include "platform/ui/WinControl.h"

namespace platform::ui {

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  // Longest text the user can type; 0 = no limit.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v) { maxLength_ = v < 0 ? 0 : v; }
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool v) { autoSelect_ = v; }
  // Selection in bytes, bounded to the text.
  int SelStart() const;
  int SelLength() const;
  void SetSelStart(int v);
  void SetSelLength(int v);
  void SelectAll();
  std::string SelText() const;

  void SetText(std::string_view text) override;

  TNotifyEvent OnChange;

 protected:
  bool WantsChars() const override { return true; }
  bool WantsKey(uint16_t key, TShiftState shift) const override;
  void KeyPress(char& key) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void Dispatch(TMessage& message) override;
  bool FocusOnClick() const override { return true; }
  void WndProc(TMessage& message) override;
  // A text change made by the user (typing, deleting).
  virtual void UserChanged(std::string text);
  // Sunken frame, the text on the colour, the selection in the highlight
  // colours and the caret while focused.
  void PaintControl() override;
  // Pixels at the right of the text area kept for buttons (spin edit).
  virtual int ReservedRight() const { return 0; }

 private:
  bool readOnly_ = false;
  int maxLength_ = 0;
  bool autoSelect_ = true;
  int selStart_ = 0;
  int selLength_ = 0;
  bool clickFocus_ = false;
};

class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* owner);

  // The lines shown; changed freely by code.
  platform::os::TStringList& Lines() { return lines_; }
  const platform::os::TStringList& Lines() const { return lines_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  // Whether Enter starts a new line (otherwise it goes to the form).
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool v) { wantReturns_ = v; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool v) { wantTabs_ = v; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v) { wordWrap_ = v; Invalidate(); }
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle s) { scrollBars_ = s; Invalidate(); }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s) { borderStyle_ = s; Invalidate(); }
  // All lines, CR LF after each but the last (the text as shown).
  std::string MemoText() const;
  void SetMemoText(std::string_view text);
  void Clear() { lines_.Clear(); Invalidate(); }

  TNotifyEvent OnChange;

 protected:
  bool WantsChars() const override { return true; }
  bool WantsKey(uint16_t key, TShiftState shift) const override;
  void KeyPress(char& key) override;
  bool FocusOnClick() const override { return true; }
  // Sunken frame, the lines from the first (cut at the bottom), word
  // wrapped when WordWrap, and the scroll bars ScrollBars asks for.
  void PaintControl() override;

 private:
  platform::os::TStringList lines_;
  bool readOnly_ = false;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
  bool wordWrap_ = true;
  TScrollStyle scrollBars_ = TScrollStyle::ssNone;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
};

}  // namespace platform::ui
