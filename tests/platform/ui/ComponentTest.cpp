#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/Component.h"

using namespace platform::ui;

namespace {

std::vector<std::string> gLog;

class Probe : public TComponent {
 public:
  explicit Probe(TComponent* owner, std::string tag = {}) : TComponent(owner), tag_(std::move(tag)) {}
  ~Probe() override { gLog.push_back("free " + tag_); }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    gLog.push_back(tag_ + (op == TOperation::opInsert ? " +" : " -") + c->Name());
  }
  void Loaded() override {
    TComponent::Loaded();
    gLog.push_back("loaded " + tag_);
  }

 private:
  std::string tag_;
};

}  // namespace

TEST(Component, OwnerFreesOwnedInReverseOrderAndEarlyFreeLeavesTheList) {
  gLog.clear();
  {
    auto owner = CreateOwned<Probe>(nullptr, "owner");
    auto* a = Create<Probe>(owner.get(), "a");
    auto* b = Create<Probe>(owner.get(), "b");
    auto* c = Create<Probe>(owner.get(), "c");
    (void)a;
    (void)c;
    EXPECT_EQ(owner->ComponentCount(), 3);
    TComponent::Free(b);
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->Components(1), c);
    EXPECT_EQ(owner->Components(2), nullptr);
    EXPECT_EQ(owner->Components(-1), nullptr);
    gLog.clear();
  }
  // The owner's own destructor runs first; its components then go in
  // reverse order, and the survivors hear of each one leaving.
  std::vector<std::string> expected{"free owner", "free c", "a -", "free a"};
  EXPECT_EQ(gLog, expected);
}

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwnerIgnoringCase) {
  auto owner = CreateOwned<Probe>(nullptr, "owner");
  auto* a = Create<Probe>(owner.get(), "a");
  auto* b = Create<Probe>(owner.get(), "b");
  a->SetName("OkButton");
  EXPECT_THROW(b->SetName("okbutton"), EComponentError);
  EXPECT_EQ(b->Name(), "");
  EXPECT_THROW(b->SetName("1abc"), EComponentError);
  EXPECT_THROW(b->SetName("a b"), EComponentError);
  b->SetName("_Cancel2");
  EXPECT_EQ(owner->FindComponent("OKBUTTON"), a);
  EXPECT_EQ(owner->FindComponent("missing"), nullptr);
  EXPECT_THROW(owner->SetOwner(a), EComponentError);  // would own itself
}

TEST(Component, FreeNotificationReachesTheOtherSideOnceInEitherDirection) {
  gLog.clear();
  auto x = CreateOwned<Probe>(nullptr, "x");
  auto y = CreateOwned<Probe>(nullptr, "y");
  y->SetName("Y");
  x->FreeNotification(y.get());
  x->FreeNotification(y.get());  // twice is once
  y.reset();
  std::vector<std::string> expected{"free y", "x -Y"};
  EXPECT_EQ(gLog, expected);
  gLog.clear();
  x.reset();
  EXPECT_EQ(gLog, std::vector<std::string>{"free x"});  // y forgot x: nothing dangles
}

TEST(Component, SiblingsHearOfInsertionAndRemoval) {
  gLog.clear();
  auto owner = CreateOwned<Probe>(nullptr, "owner");
  auto* a = Create<Probe>(owner.get(), "a");
  a->SetName("A");
  auto* b = new Probe(nullptr, "b");
  b->SetName("B");
  gLog.clear();
  b->SetOwner(owner.get());
  EXPECT_EQ(gLog, (std::vector<std::string>{"owner +B", "a +B"}));
  gLog.clear();
  TComponent::Free(b);
  EXPECT_EQ(gLog, (std::vector<std::string>{"free b", "owner -B", "a -B"}));
}

TEST(Component, LoadingEndsWithLoadedOnOwnedComponentsFirst) {
  gLog.clear();
  auto owner = CreateOwned<Probe>(nullptr, "owner");
  owner->BeginLoading();
  auto* a = Create<Probe>(owner.get(), "a");
  EXPECT_TRUE(a->Loading());
  gLog.clear();
  owner->EndLoading();
  EXPECT_EQ(gLog, (std::vector<std::string>{"loaded a", "loaded owner"}));
  EXPECT_FALSE(a->Loading());
  EXPECT_FALSE(owner->Loading());
}
