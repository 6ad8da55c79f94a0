#pragma once
// Image lists as far as the controls need them: the image size, the count,
// the background colour, and change links that tell users of the list
// about changes. The pictures themselves are kept by the drawing layer,
// which adds images through SetCount and Change.

#include <vector>

#include "platform/ui/Component.h"
#include "platform/ui/Types.h"

namespace platform::ui {

class TCustomImageList;

// A user's registration with an image list: OnChange runs after every change
// of the list. The link and the list forget each other when either goes.
class TChangeLink : public TObject {
 public:
  TChangeLink() = default;
  ~TChangeLink() override;
  TCustomImageList* Sender() const { return sender_; }
  TNotifyEvent OnChange;

 private:
  friend class TCustomImageList;
  TCustomImageList* sender_ = nullptr;
};

class TCustomImageList : public TComponent {
 public:
  explicit TCustomImageList(TComponent* owner);
  ~TCustomImageList() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Sizes of at least 1; changing one empties the list.
  void SetSize(int width, int height);
  int Count() const { return count_; }
  // Bounded to 0..10000.
  void SetCount(int n);
  // clNone: no background colour.
  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor c);

  void RegisterChanges(TChangeLink* link);
  void UnRegisterChanges(TChangeLink* link);
  // Tells every registered link, then OnChange.
  void Change();
  TNotifyEvent OnChange;

 private:
  int width_ = 16;
  int height_ = 16;
  int count_ = 0;
  TColor bkColor_ = clNone;
  std::vector<TChangeLink*> links_;
};

class TImageList : public TCustomImageList {
 public:
  using TCustomImageList::TCustomImageList;
};

}  // namespace platform::ui
