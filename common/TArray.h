#pragma once
// Growable collections of untyped item pointers, the base of almost every
// list of the system. A derived list adds meaning only by overriding the
// virtual operations (how an item is released, how two keys compare) and by
// adding operations of its own; it never touches the slots directly.
//
// Lists that own their items derive from TOwningList<Item, Base> (below): it
// releases items through FreeItem both during the list's life and when the
// list is destroyed, which a FreeItem override alone cannot do in C++ (a
// base destructor never dispatches to a derived override).
//
// Not thread-safe: a list belongs to one thread or to its owner's lock.

#include <cstdint>
#include <vector>

namespace common {

class THVCollection {
 public:
  static constexpr int32_t DefaultDelta = 100;

  // An empty collection with capacity and growth step DefaultDelta.
  THVCollection();
  // An empty collection with capacity and growth step n; n below 1 reads as
  // 1, since a step of 0 would let growth write past the slots.
  explicit THVCollection(int32_t n);
  // Releases nothing: see TOwningList for lists that own their items.
  virtual ~THVCollection();

  THVCollection(const THVCollection&) = delete;
  THVCollection& operator=(const THVCollection&) = delete;

  int32_t Count() const { return count_; }
  int32_t Limit() const { return limit_; }
  int32_t Delta() const { return delta_; }

  // The item at index, or nullptr when index is not in 0..Count-1.
  virtual void* GetItem(int32_t index) const;
  // Removes the slot; the item is not released. Ignored for a bad index.
  virtual void DeleteAt(int32_t index);
  // Removes the slot, then releases its item. Ignored for a bad index.
  virtual void FreeAt(int32_t index);
  // Inserts before index (0..Count). Outside that range nothing changes and
  // OnError gets -1 (negative index) or -2 (beyond Count), info 0.
  virtual void InsertAt(int32_t index, void* item);
  // Removes the first slot holding this pointer, without releasing it.
  virtual void Remove(void* item);
  // Empties the collection without releasing items; capacity becomes Delta.
  virtual void RemoveAll();
  // Error hook of InsertAt; empty here.
  virtual void OnError(int32_t code, int32_t info);
  // Releases every item in ascending order, then empties. Does nothing at
  // all on an empty collection.
  virtual void FreeAll();
  // Releases one item; does nothing here.
  virtual void FreeItem(void* item);
  // Lowest index holding this pointer, or -1 (always -1 for nullptr).
  virtual int32_t IndexOf(void* item) const;
  // Appends.
  virtual void Add(void* item);
  // Step of later growth and shrinking; below 1 reads as 1. The capacity is
  // not touched.
  virtual void SetDelta(int32_t n);

 private:
  void Resize(int32_t slots);

  std::vector<void*> items_;  // size() == limit_ always
  int32_t limit_ = 0;
  int32_t delta_ = 0;
  int32_t count_ = 0;
};

// The same array kept strictly ascending under Compare, searched by
// bisection; Add refuses a key that is already present.
class THVSortedCollection : public THVCollection {
 public:
  using THVCollection::THVCollection;

  // Index of the item whose key equals the key of the given item, or -1.
  int32_t IndexOf(void* item) const override;
  // Inserts at the key's position when the key is absent. When present,
  // nothing happens and the caller keeps (and must release) the item.
  void Add(void* item) override;

  // Negative when key1 sorts before key2, 0 when equal, positive after.
  // Here every pair answers 1.
  virtual int32_t Compare(const void* key1, const void* key2) const;
  // Second ordering used by FindKeyAlt; here Compare.
  virtual int32_t CompareAlt(const void* key1, const void* key2) const;
  // The key under which an item is sorted; here the item itself.
  virtual const void* ItemKey(void* item) const;
  // True and the index of an equal item, or False and the insertion index
  // (0..Count).
  virtual bool FindKey(const void* key, int32_t& index) const;
  // FindKey with CompareAlt in place of Compare.
  virtual bool FindKeyAlt(const void* key, int32_t& index) const;

 private:
  template <class Cmp>
  bool Bisect(const void* key, int32_t& index, Cmp cmp) const;
};

// The two empty bases of the program's own lists.
class TBaseArray : public THVCollection {
 public:
  using THVCollection::THVCollection;
};

class TSortedArray : public THVSortedCollection {
 public:
  using THVSortedCollection::THVSortedCollection;
};

// A list that owns items of type Item (allocated with new) and releases
// them with delete: from FreeAt and FreeAll, and when the list is destroyed.
// FreeItem is final so that destruction and every other release agree.
template <class Item, class Base = TBaseArray>
class TOwningList : public Base {
 public:
  using Base::Base;
  ~TOwningList() override { this->FreeAll(); }

  void FreeItem(void* item) final { delete static_cast<Item*>(item); }

  // The item at index as Item, or nullptr for a bad index.
  Item* At(int32_t index) const { return static_cast<Item*>(this->GetItem(index)); }
};

}  // namespace common
