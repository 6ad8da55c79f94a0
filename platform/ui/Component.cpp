#include "platform/ui/Component.h"

#include <algorithm>

namespace platform::ui {

namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool IsIdentifier(std::string_view s) {
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (s.empty() || !letter(s.front())) return false;
  return std::all_of(s.begin(), s.end(), [&](char c) { return letter(c) || (c >= '0' && c <= '9'); });
}

void Erase(std::vector<TComponent*>& v, TComponent* c) { v.erase(std::remove(v.begin(), v.end(), c), v.end()); }

}  // namespace

void TPersistent::Assign(const TPersistent* source) {
  if (source == nullptr) throw EConvertError("Cannot assign a nil object");
  source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent*) const { throw EConvertError("Cannot assign this object"); }

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) {
    if (owner->Loading()) state_ |= csLoading;
    owner->InsertComponent(this);
  }
}

TComponent::~TComponent() {
  state_ |= csDestroying;
  // Whoever asked to hear of our end hears it now, while we are still a
  // TComponent.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    Erase(other->freeNotifies_, this);
    other->Notification(this, TOperation::opRemove);
  }
  // Owned components go in reverse order of creation.
  while (!components_.empty()) Free(components_.back());
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::Free(TComponent* component) {
  if (component == nullptr) return;
  component->BeforeDestruction();
  delete component;
}

void TComponent::BeforeDestruction() { state_ |= csDestroying; }

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) return nullptr;
  return components_[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
  if (owner_ == nullptr) return -1;
  auto it = std::find(owner_->components_.begin(), owner_->components_.end(), this);
  return static_cast<int>(it - owner_->components_.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameName(c->name_, name)) return c;
  return nullptr;
}

void TComponent::ValidateName(std::string_view name, const TComponent* owner) const {
  if (name.empty()) return;
  if (!IsIdentifier(name)) throw EComponentError("\"" + std::string(name) + "\" is not a valid component name");
  if (owner != nullptr) {
    TComponent* other = owner->FindComponent(name);
    if (other != nullptr && other != this)
      throw EComponentError("A component named " + std::string(name) + " already exists");
  }
}

void TComponent::SetName(std::string_view name) {
  if (name == name_) return;
  ValidateName(name, owner_);
  name_ = std::string(name);
}

void TComponent::SetOwner(TComponent* newOwner) {
  if (newOwner == owner_) return;
  for (TComponent* o = newOwner; o != nullptr; o = o->owner_)
    if (o == this) throw EComponentError("A component cannot own itself");
  ValidateName(name_, newOwner);
  if (owner_ != nullptr) owner_->RemoveComponent(this);
  if (newOwner != nullptr) newOwner->InsertComponent(this);
}

void TComponent::InsertComponent(TComponent* component) {
  components_.push_back(component);
  component->owner_ = this;
  NotifyFamily(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  NotifyFamily(component, TOperation::opRemove);
  Erase(components_, component);
  component->owner_ = nullptr;
}

// The owner and everything it owns hear of an insertion or removal.
void TComponent::NotifyFamily(TComponent* component, TOperation operation) {
  if (!Destroying()) Notification(component, operation);
  // Copy: a handler may free siblings.
  std::vector<TComponent*> family = components_;
  for (TComponent* c : family) {
    if (c == component || c->Destroying()) continue;
    if (std::find(components_.begin(), components_.end(), c) == components_.end()) continue;
    c->Notification(component, operation);
  }
}

void TComponent::FreeNotification(TComponent* component) {
  if (component == nullptr || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end()) {
    freeNotifies_.push_back(component);
    component->freeNotifies_.push_back(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (component == nullptr) return;
  Erase(freeNotifies_, component);
  Erase(component->freeNotifies_, this);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::Loaded() { state_ &= ~csLoading; }

void TComponent::BeginLoading() { SetLoadingTree(); }

void TComponent::SetLoadingTree() {
  state_ |= csLoading;
  for (TComponent* c : components_) c->SetLoadingTree();
}

void TComponent::EndLoading() { LoadedTree(); }

void TComponent::LoadedTree() {
  std::vector<TComponent*> owned = components_;
  for (TComponent* c : owned)
    if (std::find(components_.begin(), components_.end(), c) != components_.end()) c->LoadedTree();
  if (Loading()) Loaded();
}

}  // namespace platform::ui
