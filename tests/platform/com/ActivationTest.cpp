#include "platform/com/Activation.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/com/Apartment.h"
#include "platform/com/OpcDa.h"
#include "platform/com/Registry.h"

namespace platform::com {
namespace {

constexpr CLSID kTestClass{0x5E1F0001, 0x0C0A, 0x4E55, {0x9A, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};
constexpr CLSID kOtherClass{0x5E1F0002, 0x0C0A, 0x4E55, {0x9A, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02}};

void Register(const std::string& progId, const CLSID& clsid, const std::string& module) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\" + progId + "\\CLSID", true));
  ASSERT_TRUE(reg.WriteString("", GuidToString(clsid)));
  ASSERT_TRUE(reg.OpenKey("\\CLSID\\" + GuidToString(clsid) + "\\InprocServer32", true));
  ASSERT_TRUE(reg.WriteString("", module));
}

class Activation : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
  void TearDown() override {
    TRegistry reg;
    reg.DeleteKey("\\CLSID");
    for (const char* p : {"Test.Server", "Other.Server", "Broken.Server"}) reg.DeleteKey(std::string("\\") + p);
    CoUninitialize();
  }
};

TEST_F(Activation, ProgIdToClassIdToObject) {
  Register("Test.Server", kTestClass, FW_COM_TEST_SERVER);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"test.server", &clsid), S_OK);
  EXPECT_EQ(clsid, kTestClass);
  ComPtr<IOPCShutdown> object;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IOPCShutdown::iid, object.PutVoid()), S_OK);
  EXPECT_EQ(object->ShutdownRequest(u"x"), 1);
  EXPECT_EQ(object->ShutdownRequest(u"x"), 2);
  ComPtr<IOPCShutdown> second;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IOPCShutdown::iid, second.PutVoid()), S_OK);
  EXPECT_EQ(second->ShutdownRequest(u"x"), 1);  // a separate object
  ComPtr<IOPCServer> none;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IOPCServer::iid, none.PutVoid()), E_NOINTERFACE);
  EXPECT_FALSE(none);
}

TEST_F(Activation, LookupFailures) {
  CLSID clsid = kOtherClass;
  EXPECT_EQ(CLSIDFromProgID(u"No.Such.Server", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(u"", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(u"a\\b", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Broken.Server\\CLSID", true));
    ASSERT_TRUE(reg.WriteString("", "not a guid"));
  }
  EXPECT_EQ(CLSIDFromProgID(u"Broken.Server", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(clsid, kOtherClass);

  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(kOtherClass, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, &object), REGDB_E_CLASSNOTREG);
  Register("Other.Server", kOtherClass, "/nonexistent/libnothing.so");
  EXPECT_EQ(CoCreateInstance(kOtherClass, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, &object), CO_E_DLLNOTFOUND);
  Register("Other.Server", kOtherClass, FW_PLATFORM_LIBRARY);  // a module without the entry
  EXPECT_EQ(CoCreateInstance(kOtherClass, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, &object), CO_E_ERRORINDLL);
  Register("Other.Server", kOtherClass, FW_COM_TEST_SERVER);  // a module that does not serve it
  EXPECT_EQ(CoCreateInstance(kOtherClass, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  Register("Test.Server", kTestClass, FW_COM_TEST_SERVER);
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_LOCAL_SERVER, IUnknown::iid, &object), REGDB_E_CLASSNOTREG);
  ComPtr<IUnknown> outer;
  EXPECT_EQ(CoCreateInstance(kTestClass, reinterpret_cast<IUnknown*>(&clsid), CLSCTX_INPROC_SERVER, IUnknown::iid,
                             &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
}

TEST_F(Activation, NeedsAnApartment) {
  Register("Test.Server", kTestClass, FW_COM_TEST_SERVER);
  HRESULT hr = S_OK;
  std::thread([&hr] {
    void* object = nullptr;
    hr = CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, &object);
  }).join();
  EXPECT_EQ(hr, CO_E_NOTINITIALIZED);
}

TEST_F(Activation, RemoteMachinesFailLocalNamesWork) {
  Register("Test.Server", kTestClass, FW_COM_TEST_SERVER);
  char16_t remote[] = u"\\\\PLANT2";
  COSERVERINFO info{0, remote, nullptr, 0};
  MULTI_QI qi[2] = {{&IOPCShutdown::iid, nullptr, S_OK}, {&IOPCServer::iid, nullptr, S_OK}};
  EXPECT_EQ(CoCreateInstanceEx(kTestClass, nullptr, CLSCTX_SERVER, &info, 2, qi), HRESULT_RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(qi[0].pItf, nullptr);
  char16_t local[] = u"\\\\LOCAL";
  info.pwszName = local;
  ASSERT_EQ(CoCreateInstanceEx(kTestClass, nullptr, CLSCTX_SERVER, &info, 2, qi), CO_S_NOTALLINTERFACES);
  ASSERT_NE(qi[0].pItf, nullptr);
  EXPECT_EQ(qi[1].hr, E_NOINTERFACE);
  qi[0].pItf->Release();

  try {
    CreateRemoteComObject("PLANT2", kTestClass);
    FAIL() << "remote creation succeeded";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode, HRESULT_RPC_S_SERVER_UNAVAILABLE);
  }
  EXPECT_TRUE(CreateRemoteComObject("", kTestClass));
  EXPECT_TRUE(CreateComObject(kTestClass).As<IOPCShutdown>());
  EXPECT_THROW(CreateComObject(kOtherClass), EOleSysError);
}

}  // namespace
}  // namespace platform::com
