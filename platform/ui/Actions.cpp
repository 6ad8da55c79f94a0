#include "platform/ui/Actions.h"

#include <algorithm>

#include "platform/ui/Control.h"
#include "platform/ui/ImageList.h"

namespace platform::ui {

TBasicAction::TBasicAction(TComponent* owner) : TComponent(owner) {}

TBasicAction::~TBasicAction() {
  while (!clients_.empty()) clients_.back()->SetAction(nullptr);
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

void TBasicAction::Change() {
  std::vector<TBasicActionLink*> clients = clients_;
  for (TBasicActionLink* l : clients)
    if (std::find(clients_.begin(), clients_.end(), l) != clients_.end()) l->Change();
}

TActionList::TActionList(TComponent* owner) : TComponent(owner) {}

void TActionList::SetImages(TCustomImageList* images) {
  if (images_ != nullptr) images_->RemoveFreeNotification(this);
  images_ = images;
  if (images != nullptr) images->FreeNotification(this);
}

void TActionList::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == images_) images_ = nullptr;
}

TCustomAction::TCustomAction(TComponent* owner) : TBasicAction(owner) {}

// Clients hear of a new value while they still show the old one, so that
// their "linked" tests compare with the value being replaced.
void TCustomAction::ForEachLink(const std::function<void(TControlActionLink*)>& f) {
  std::vector<TBasicActionLink*> clients = clients_;
  for (TBasicActionLink* l : clients)
    if (auto* c = dynamic_cast<TControlActionLink*>(l)) f(c);
}

void TCustomAction::SetCaption(std::string_view v) {
  if (v == caption_) return;
  ForEachLink([&](TControlActionLink* l) { l->SetCaption(std::string(v)); });
  caption_ = std::string(v);
  Change();
}

void TCustomAction::SetChecked(bool v) {
  if (v == checked_) return;
  ForEachLink([&](TControlActionLink* l) { l->SetChecked(v); });
  checked_ = v;
  Change();
}

void TCustomAction::SetEnabled(bool v) {
  if (v == enabled_) return;
  ForEachLink([&](TControlActionLink* l) { l->SetEnabled(v); });
  enabled_ = v;
  Change();
}

void TCustomAction::SetHint(std::string_view v) {
  if (v == hint_) return;
  ForEachLink([&](TControlActionLink* l) { l->SetHint(std::string(v)); });
  hint_ = std::string(v);
  Change();
}

void TCustomAction::SetImageIndex(int v) {
  if (v == imageIndex_) return;
  ForEachLink([&](TControlActionLink* l) { l->SetImageIndex(v); });
  imageIndex_ = v;
  Change();
}

void TCustomAction::SetVisible(bool v) {
  if (v == visible_) return;
  ForEachLink([&](TControlActionLink* l) { l->SetVisible(v); });
  visible_ = v;
  Change();
}

void TCustomAction::SetActionList(TActionList* list) {
  if (actionList_ != nullptr) actionList_->RemoveFreeNotification(this);
  actionList_ = list;
  if (list != nullptr) list->FreeNotification(this);
  Change();
}

void TCustomAction::Notification(TComponent* component, TOperation operation) {
  TBasicAction::Notification(component, operation);
  if (operation == TOperation::opRemove && component == actionList_) actionList_ = nullptr;
}

bool TCustomAction::Execute() { return enabled_ && TBasicAction::Execute(); }

TBasicActionLink::~TBasicActionLink() { SetAction(nullptr); }

void TBasicActionLink::SetAction(TBasicAction* action) {
  if (action == action_) return;
  if (action_ != nullptr) {
    auto& c = action_->clients_;
    c.erase(std::remove(c.begin(), c.end(), this), c.end());
  }
  action_ = action;
  if (action != nullptr) action->clients_.push_back(this);
}

bool TBasicActionLink::Execute(TComponent*) { return action_ != nullptr && action_->Execute(); }

void TControlActionLink::AssignClient(TObject* client) { client_ = dynamic_cast<TControl*>(client); }

TCustomAction* TControlActionLink::CustomAction() const { return dynamic_cast<TCustomAction*>(Action()); }

// A property is linked while the client still shows the action's value.
bool TControlActionLink::IsCaptionLinked() const {
  return CustomAction() != nullptr && client_ != nullptr && client_->Caption() == CustomAction()->Caption();
}
bool TControlActionLink::IsCheckedLinked() const { return CustomAction() != nullptr; }
bool TControlActionLink::IsEnabledLinked() const {
  return CustomAction() != nullptr && client_ != nullptr && client_->Enabled() == CustomAction()->Enabled();
}
bool TControlActionLink::IsHintLinked() const {
  return CustomAction() != nullptr && client_ != nullptr && client_->Hint() == CustomAction()->Hint();
}
bool TControlActionLink::IsImageIndexLinked() const { return CustomAction() != nullptr; }
bool TControlActionLink::IsVisibleLinked() const {
  return CustomAction() != nullptr && client_ != nullptr && client_->Visible() == CustomAction()->Visible();
}

void TControlActionLink::SetCaption(const std::string& value) {
  if (IsCaptionLinked()) client_->SetCaption(value);
}
void TControlActionLink::SetChecked(bool) {}
void TControlActionLink::SetEnabled(bool value) {
  if (IsEnabledLinked()) client_->SetEnabled(value);
}
void TControlActionLink::SetHint(const std::string& value) {
  if (IsHintLinked()) client_->SetHint(value);
}
void TControlActionLink::SetImageIndex(int) {}
void TControlActionLink::SetVisible(bool value) {
  if (IsVisibleLinked()) client_->SetVisible(value);
}

void TControlActionLink::Change() {
  if (client_ != nullptr) client_->ActionChange(Action(), false);
}

}  // namespace platform::ui
