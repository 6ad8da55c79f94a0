#pragma once
// The stand-in kernel's in-memory model: project folder, routing domains,
// variables with their 761-byte records, the navigator's next answer, and
// the sinks through which log items, navigator calls and error boxes reach
// whoever runs the kernel, with what the driver passed to them. One model
// per process, shared by the four kernel libraries and halvorsten-host.
// Every operation is thread-safe; sinks are called without the model's
// lock held.

#include "driver/Dlm_Libs.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kernel {

// A variable as a script defines it.
struct VariableSpec {
  int32_t Id = 0;
  std::string Name;     // CP1251; cut to 40 bytes in the record
  std::string Routing;  // CP1251; cut to the routing field
  float Initial = 0.0f;
  float Low = 0.0f;
  float High = 0.0f;
  float Deadband = 0.0f;
  float Scale = 0.0f;
};

// The record the variable library hands out for a variable.
driver::TVLVariableInfo MakeVariableInfo(const VariableSpec& variable);

class KernelModel {
 public:
  using LogSink = std::function<void(const driver::TLogItem&)>;
  // The navigator's parent window and the tag name its buffer held.
  using NavigatorSink = std::function<void(driver::HostWindowHandle parent, std::string_view current)>;
  using ErrorBoxSink = std::function<void(driver::HostWindowHandle parent, std::string_view caption,
                                          std::string_view message, int32_t flags)>;

  // The process-wide model.
  static KernelModel& Instance();

  // Back to an empty model (no project, domains, variables, sinks or log).
  void Reset();

  void SetProjectDir(std::string dir);
  // The project folder with a trailing "/", or nullopt when none is set.
  std::optional<std::string> ProjectPath() const;

  // A new routing domain (ids 1, 2, ... in order of creation); answers its id.
  int32_t AddDomain(std::string name);
  // Adds a variable to domain domainId, or to no domain when domainId is 0.
  // False when the domain is unknown or the Id is already taken.
  bool AddVariable(int32_t domainId, const VariableSpec& variable);
  // The variable leaves the kernel's lookup by Id and by name but stays in
  // its domain's list, as when it is deleted between a driver's scan of the
  // domain and its lookup by Id. False for an unknown Id.
  bool ForgetVariable(int32_t id);

  int32_t DomainCount() const;
  bool DomainInfo(int32_t index, driver::TVLDomainInfo& info) const;
  bool VariableOfDomain(int32_t domainId, int32_t index, driver::TVLVariableInfo& info) const;
  bool VariableById(int32_t id, driver::TVLVariableInfo& info) const;
  // The name is compared without case by CP1251 rules.
  bool VariableByName(std::string_view name, driver::TVLVariableInfo& info) const;

  // What the navigator answers next: a tag name, or nullopt for a cancel.
  void SetNavigatorAnswer(std::optional<std::string> answer);
  std::optional<std::string> NavigatorAnswer() const;

  void SetSinks(LogSink log, NavigatorSink navigator, ErrorBoxSink errorBox);
  // Records the item and hands it to the log sink.
  void AddLogItem(const driver::TLogItem& item);
  void NotifyNavigator(driver::HostWindowHandle parent, std::string_view current) const;
  void ShowErrorBox(driver::HostWindowHandle parent, std::string_view caption, std::string_view message,
                    int32_t flags) const;
  std::vector<driver::TLogItem> LogItems() const;

 private:
  struct Domain {
    int32_t Id;
    std::string Name;
    std::vector<driver::TVLVariableInfo> Variables;  // in order of definition
  };

  const driver::TVLVariableInfo* FindById(int32_t id) const;  // lock held
  const Domain* FindDomain(int32_t id) const;                  // lock held

  mutable std::mutex lock_;
  std::optional<std::string> projectPath_;
  std::vector<Domain> domains_;
  std::map<int32_t, driver::TVLVariableInfo> variables_;  // by Id
  std::optional<std::string> navigatorAnswer_;
  std::vector<driver::TLogItem> log_;
  LogSink logSink_;
  NavigatorSink navigatorSink_;
  ErrorBoxSink errorBoxSink_;
};

}  // namespace kernel
