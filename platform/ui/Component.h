#pragma once
// The root of the component model: TObject, TPersistent and TComponent.
//
// Ownership: a component created with an owner is freed by that owner (in
// reverse order of creation) unless it is freed earlier, in which case it
// leaves the owner's list first. A component without an owner belongs to
// whoever created it (hold it in a TComponentPtr). Create components with
// Create<T>(...) so that AfterConstruction runs, and free them with Free()
// (or through their owner or a TComponentPtr) so that BeforeDestruction runs
// while the whole object is still alive.
//
// All of it is single-threaded: a component is used on the thread that
// created it.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ui {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // Runs right after the most derived constructor (Create<T>) and right
  // before the destructor (Free); overrides call the inherited one.
  virtual void AfterConstruction() {}
  virtual void BeforeDestruction() {}
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Raised by TPersistent::Assign for classes that cannot be copied, and by
// component naming and ownership errors.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EComponentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TPersistent : public TObject {
 public:
  // Copies source into this object. The default asks source->AssignTo; a
  // class that knows neither side raises EConvertError. A null source raises
  // EConvertError too.
  virtual void Assign(const TPersistent* source);

 protected:
  // Copies this object into dest; the default raises EConvertError.
  virtual void AssignTo(TPersistent* dest) const;
};

enum class TOperation { opInsert, opRemove };

// TComponent::ComponentState flags. Designing is never set in this system.
using TComponentState = uint32_t;
inline constexpr TComponentState csLoading = 1;
inline constexpr TComponentState csDestroying = 2;
inline constexpr TComponentState csDesigning = 4;

class TComponent : public TPersistent {
 public:
  // Joins owner's list (owner may be null). A component created while its
  // owner is loading starts loading too.
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  // Frees the component: BeforeDestruction, then the destructor. Null is
  // accepted and does nothing.
  static void Free(TComponent* component);

  void BeforeDestruction() override;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  // The owned component at index; nullptr when out of range.
  TComponent* Components(int index) const;
  // Index in the owner's list, -1 without owner.
  int ComponentIndex() const;
  // An owned component by name (ASCII case ignored); nullptr when none.
  TComponent* FindComponent(std::string_view name) const;

  // Moves the component to another owner (or none). Raises EComponentError
  // when the new owner already owns a component of the same name, or when
  // the move would make a component own itself.
  void SetOwner(TComponent* newOwner);

  const std::string& Name() const { return name_; }
  // A name is empty or an identifier (letter or '_' first, then letters,
  // digits, '_'), unique among the owner's components ignoring case;
  // otherwise EComponentError and the name stays as it was.
  virtual void SetName(std::string_view name);

  TComponentState ComponentState() const { return state_; }
  bool Loading() const { return (state_ & csLoading) != 0; }
  bool Destroying() const { return (state_ & csDestroying) != 0; }

  intptr_t Tag = 0;

  // A token that expires when this component is freed. Code that runs
  // handlers which may free the component (with its form, say) keeps the
  // token across the call and leaves the component alone once it expired.
  std::weak_ptr<const void> Lifetime() const { return alive_; }
  // Runs call, which may free this component; true when it still lives.
  template <class Call>
  bool Survives(Call&& call) {
    const std::weak_ptr<const void> alive = alive_;
    call();
    return !alive.expired();
  }

  // Asks to be told (Notification with opRemove) when component is freed.
  // Both sides forget each other when either is freed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Marks this component and every component it owns (recursively) as
  // loading; EndLoading then calls Loaded on them, owned ones first in
  // creation order, this one last.
  void BeginLoading();
  void EndLoading();

 protected:
  // Called when component is inserted into or removed from this
  // component's owner's family, and for free notifications. Overrides call
  // the inherited one.
  virtual void Notification(TComponent* component, TOperation operation);
  // Called once after loading ends; clears the loading flag.
  virtual void Loaded();

  void SetState(TComponentState flags) { state_ |= flags; }
  void ClearState(TComponentState flags) { state_ &= ~flags; }

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  void NotifyFamily(TComponent* component, TOperation operation);
  void ValidateName(std::string_view name, const TComponent* owner) const;
  void SetLoadingTree();
  void LoadedTree();

  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;     // owned, freed by this one
  std::vector<TComponent*> freeNotifies_;   // both directions
  std::string name_;
  TComponentState state_ = 0;
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);  // expires with the component
};

// Frees a component through TComponent::Free.
struct TComponentDeleter {
  void operator()(TComponent* c) const { TComponent::Free(c); }
};
template <class T>
using TComponentPtr = std::unique_ptr<T, TComponentDeleter>;

// Creates a component and runs its AfterConstruction. The result is owned by
// the owner given to its constructor, if any.
template <class T, class... A>
T* Create(A&&... args) {
  T* object = new T(std::forward<A>(args)...);
  try {
    object->AfterConstruction();
  } catch (...) {
    TComponent::Free(object);
    throw;
  }
  return object;
}

// Creates an ownerless component held by a smart pointer.
template <class T, class... A>
TComponentPtr<T> CreateOwned(A&&... args) {
  return TComponentPtr<T>(Create<T>(std::forward<A>(args)...));
}

}  // namespace platform::ui
