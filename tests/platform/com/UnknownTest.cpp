#include "platform/com/Unknown.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/com/OpcDa.h"

namespace platform::com {
namespace {

int gAlive = 0;

class Shutdown final : public ComObject<IOPCShutdown, IConnectionPointContainer> {
 public:
  Shutdown() { ++gAlive; }
  ~Shutdown() override { --gAlive; }
  HRESULT ShutdownRequest(LPCWSTR) override { return S_OK; }
  HRESULT FindConnectionPoint(const IID&, IConnectionPoint** point) override {
    *point = nullptr;
    return CONNECT_E_NOCONNECTION;
  }
  bool hideContainer = false;

 protected:
  bool Offers(const IID& riid) const override {
    return !(hideContainer && riid == IConnectionPointContainer::iid);
  }
};

TEST(Unknown, LastReleaseDeletesAndCountsAreReported) {
  {
    ComPtr<IOPCShutdown> a(new Shutdown);
    EXPECT_EQ(gAlive, 1);
    EXPECT_EQ(a->AddRef(), 2u);
    EXPECT_EQ(a->Release(), 1u);
    ComPtr<IOPCShutdown> b = a;
    ComPtr<IOPCShutdown> c = std::move(b);
    EXPECT_FALSE(b);
    a.Reset();
    EXPECT_EQ(gAlive, 1);  // c still holds it
  }
  EXPECT_EQ(gAlive, 0);
}

TEST(Unknown, QueryInterfaceGivesEachInterfaceAndOneIdentity) {
  auto* raw = new Shutdown;
  ComPtr<IOPCShutdown> shutdown(raw);
  ComPtr<IConnectionPointContainer> container = shutdown.As<IConnectionPointContainer>();
  ASSERT_TRUE(container);
  ComPtr<IUnknown> u1 = shutdown.As<IUnknown>();
  ComPtr<IUnknown> u2 = container.As<IUnknown>();
  EXPECT_EQ(u1.Get(), u2.Get());  // identity rule
  EXPECT_EQ(u1.Get(), raw->Unknown());

  ComPtr<IOPCServer> server;
  EXPECT_EQ(shutdown.As(server), E_NOINTERFACE);
  EXPECT_FALSE(server);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(shutdown->QueryInterface(IOPCDataCallback::iid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(shutdown->QueryInterface(IOPCShutdown::iid, nullptr), E_POINTER);
}

TEST(Unknown, WithheldInterfaceIsNotOffered) {
  auto* raw = new Shutdown;
  raw->hideContainer = true;
  ComPtr<IOPCShutdown> shutdown(raw);
  EXPECT_FALSE(shutdown.As<IConnectionPointContainer>());
  EXPECT_TRUE(shutdown.As<IUnknown>());
}

TEST(Unknown, AttachAndDetachMoveOwnershipWithoutCounting) {
  auto* raw = new Shutdown;
  raw->AddRef();
  {
    auto p = ComPtr<IOPCShutdown>::Attach(raw);
    IOPCShutdown* detached = p.Detach();
    EXPECT_EQ(detached, raw);
  }
  EXPECT_EQ(gAlive, 1);
  EXPECT_EQ(raw->Release(), 0u);
  EXPECT_EQ(gAlive, 0);
}

TEST(Unknown, CountingIsThreadSafe) {
  ComPtr<IOPCShutdown> p(new Shutdown);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([p] {
      for (int i = 0; i < 10000; ++i) {
        ComPtr<IOPCShutdown> copy = p;
        copy.As<IUnknown>();
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(p->AddRef(), 2u);
  p->Release();
}

}  // namespace
}  // namespace platform::com
