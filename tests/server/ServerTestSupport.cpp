#include "tests/server/ServerTestSupport.h"

#include "common/Opc_Description.h"
#include "exchange/ComonDef.h"
#include "platform/os/StringList.h"
#include "server/ServerData.h"
#include "server/ServerDevices.h"
#include "server/ServerErrors.h"
#include "server/VariableIndex.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace server_test {

namespace {
std::atomic<int> g_counter{0};
}  // namespace

ScopedNamespace::ScopedNamespace()
    : name_("fws" + std::to_string(::getpid()) + "n" + std::to_string(++g_counter)) {
  ::setenv("FERROWICK_IPC_NAMESPACE", name_.c_str(), 1);
}

ScopedNamespace::~ScopedNamespace() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
    const std::string file = entry.path().filename().string();
    if (file.rfind(name_ + ".", 0) == 0) ADD_FAILURE() << "left in /dev/shm: " << file;
  }
  ::unsetenv("FERROWICK_IPC_NAMESPACE");
}

void ServerTest::TearDown() {
  server::VariableIndex.reset();
  server::DeviceList.reset();
  server::DescriptionFile.reset();
  server::ServerErrors.reset();
  server::Intercom.reset();
  server::SelectedDevice = -1;
  server::RequestTerminal.Clear();
  server::CommandsLog.clear();
  server::IniFileName.clear();
  exchange::ServerIndex = -1;
  driver_.reset();
}

void ServerTest::OpenSection(const std::vector<TestVariable>& variables) {
  driver_ = exchange::TIntercomInterface::Create(exchange::kSectionName,
                                                 static_cast<std::int32_t>(variables.size()));
  ASSERT_TRUE(driver_->IsAttached());
  for (const TestVariable& v : variables) {
    exchange::TVLVariableInfo info{};
    info.Id = v.Id;
    std::strncpy(info.Name, v.Name.c_str(), sizeof info.Name - 1);
    std::strncpy(info.Routing, v.Routing.c_str(), sizeof info.Routing - 1);
    info.InitialValue = v.Value;
    info.Scale = v.Scale;
    ASSERT_TRUE(driver_->DMLVariables()->Add(info));
  }
  exchange::ServerIndex = 0;
  server::Intercom = exchange::TIntercomInterface::Open(exchange::kSectionName);
  ASSERT_TRUE(server::SectionOpen());
  server::ServerErrors = std::make_unique<server::TBaseErrorClass>();
}

void ServerTest::BuildVariableIndex() {
  server::VariableIndex = std::make_unique<server::TVariableIndex>();
  ASSERT_TRUE(server::VariableIndex->LoadFromShared());
}

void ServerTest::LoadDescription(const std::string& text) {
  server::DescriptionFile = std::make_unique<common::TOPCDescriptionFile>();
  platform::os::TStringList lines;
  lines.SetText(text);
  ASSERT_TRUE(server::DescriptionFile->LoadFromStrings(lines)) << common::DescriptionErrorText();
}

float ServerTest::SharedValue(std::int32_t i) const {
  exchange::TDMLVariable variable{};
  EXPECT_TRUE(driver_->DMLVariables()->GetItem(i, variable));
  return variable.Value;
}

double ServerTest::SharedTime(std::int32_t i) const {
  exchange::TDMLVariable variable{};
  EXPECT_TRUE(driver_->DMLVariables()->GetItem(i, variable));
  return variable.Time;
}

exchange::TServerErrorBlock ServerTest::Errors() const {
  exchange::TServerErrorBlock block{};
  EXPECT_TRUE(driver_->ServerErrors()->CopyOut(block, false));
  return block;
}

std::string EntryText(const exchange::TServerErrorEntry& entry) {
  return exchange::ShortStringOf(entry.Text);
}

}  // namespace server_test
