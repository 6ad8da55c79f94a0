#pragma once
// Actions and their links to controls, as far as the buttons need them.
//
// A TAction holds a caption, checked and enabled states, a hint, an image
// index and visibility. A new value first goes to each client link's setter
// (which copies it when the client still showed the old value: the
// property is "linked"), then is stored, then every client's ActionChange
// runs. A click runs the action's OnExecute when the control has no
// OnClick of its own.

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Component.h"

namespace platform::ui {

class TControl;
class TCustomImageList;
class TBasicActionLink;
class TControlActionLink;

class TBasicAction : public TComponent {
 public:
  explicit TBasicAction(TComponent* owner);
  ~TBasicAction() override;
  // Runs OnExecute; false when there is none.
  virtual bool Execute();
  TNotifyEvent OnExecute;

 protected:
  friend class TBasicActionLink;
  // Tells every link that the action changed.
  void Change();
  std::vector<TBasicActionLink*> clients_;
};

class TActionList : public TComponent {
 public:
  explicit TActionList(TComponent* owner);
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* images);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TCustomImageList* images_ = nullptr;
};

class TCustomAction : public TBasicAction {
 public:
  explicit TCustomAction(TComponent* owner);

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string_view v);
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  const std::string& Hint() const { return hint_; }
  void SetHint(std::string_view v);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  TActionList* ActionList() const { return actionList_; }
  void SetActionList(TActionList* list);
  // Runs OnExecute only while enabled.
  bool Execute() override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void ForEachLink(const std::function<void(TControlActionLink*)>& f);

 private:
  std::string caption_;
  bool checked_ = false;
  bool enabled_ = true;
  std::string hint_;
  int imageIndex_ = -1;
  bool visible_ = true;
  TActionList* actionList_ = nullptr;
};

class TAction : public TCustomAction {
 public:
  using TCustomAction::TCustomAction;
};

// The link between an action and one client.
class TBasicActionLink : public TObject {
 public:
  TBasicActionLink() = default;
  ~TBasicActionLink() override;
  TBasicAction* Action() const { return action_; }
  // Links to another action (or none).
  void SetAction(TBasicAction* action);
  bool Execute(TComponent* target);

 protected:
  friend class TBasicAction;
  // The action changed; the base does nothing.
  virtual void Change() {}

 private:
  TBasicAction* action_ = nullptr;
};

// Link of a control: which properties follow the action, and how they are
// set. Overrides refine the tests and setters for their client class.
class TControlActionLink : public TBasicActionLink {
 public:
  TControlActionLink() = default;
  // Sets the client; the base keeps it as a TControl.
  virtual void AssignClient(TObject* client);
  TControl* Client() const { return client_; }

  virtual bool IsCaptionLinked() const;
  virtual bool IsCheckedLinked() const;
  virtual bool IsEnabledLinked() const;
  virtual bool IsHintLinked() const;
  virtual bool IsImageIndexLinked() const;
  virtual bool IsVisibleLinked() const;
  virtual void SetCaption(const std::string& value);
  virtual void SetChecked(bool value);
  virtual void SetEnabled(bool value);
  virtual void SetHint(const std::string& value);
  virtual void SetImageIndex(int value);
  virtual void SetVisible(bool value);

 protected:
  // The linked action when it is a TCustomAction; null otherwise.
  TCustomAction* CustomAction() const;
  void Change() override;

 private:
  TControl* client_ = nullptr;
};

}  // namespace platform::ui
