#pragma once
// A reference that keeps a loaded shared object in memory, as a module
// handle taken by address does: while one lives, an unload by the object's
// loader leaves its code mapped and runs none of its destructors, so that
// a thread of the object may go on running.


namespace platform::os {

class ModuleReference {
 public:
  // Takes a reference to the loaded object (shared object or program)
  // that contains address; none when there is no such object. Any thread.
  explicit ModuleReference(const void* address);
  // Gives the reference back; the object is unloaded when it was the last
  // one, so its own code releases it only while its loader still holds it.
  ~ModuleReference();
  ModuleReference(const ModuleReference&) = delete;
  ModuleReference& operator=(const ModuleReference&) = delete;

 private:
  void* handle_ = nullptr;
};

}  // namespace platform::os
