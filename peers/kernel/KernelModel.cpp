#include "peers/kernel/KernelModel.h"

#include "platform/os/Files.h"
#include "platform/os/Text.h"

#include <algorithm>
#include <cstring>

namespace kernel {

namespace {

// Copies text into a zero-terminated field of size bytes, cut to fit.
void CopyField(char* field, size_t size, std::string_view text) {
  const size_t n = std::min(text.size(), size - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

}  // namespace

driver::TVLVariableInfo MakeVariableInfo(const VariableSpec& variable) {
  driver::TVLVariableInfo info{};
  info.Id = variable.Id;
  CopyField(info.Name, exchange::kHostNameMax + 1, variable.Name);
  CopyField(info.Routing, sizeof(info.Routing), variable.Routing);
  info.InitialValue = variable.Initial;
  info.LowLimit = variable.Low;
  info.HighLimit = variable.High;
  info.Deadband = variable.Deadband;
  info.Scale = variable.Scale;
  return info;
}

KernelModel& KernelModel::Instance() {
  static KernelModel model;
  return model;
}

void KernelModel::Reset() {
  std::lock_guard guard(lock_);
  projectPath_.reset();
  domains_.clear();
  variables_.clear();
  navigatorAnswer_.reset();
  log_.clear();
  logSink_ = nullptr;
  navigatorSink_ = nullptr;
  errorBoxSink_ = nullptr;
}

void KernelModel::SetProjectDir(std::string dir) {
  std::lock_guard guard(lock_);
  projectPath_ = platform::os::IncludeTrailingPathDelimiter(dir);
}

std::optional<std::string> KernelModel::ProjectPath() const {
  std::lock_guard guard(lock_);
  return projectPath_;
}

int32_t KernelModel::AddDomain(std::string name) {
  std::lock_guard guard(lock_);
  const auto id = static_cast<int32_t>(domains_.size() + 1);
  domains_.push_back(Domain{id, std::move(name), {}});
  return id;
}

bool KernelModel::AddVariable(int32_t domainId, const VariableSpec& variable) {
  std::lock_guard guard(lock_);
  if (FindById(variable.Id)) return false;
  Domain* domain = nullptr;
  if (domainId != 0) {
    auto it = std::find_if(domains_.begin(), domains_.end(), [&](const Domain& d) { return d.Id == domainId; });
    if (it == domains_.end()) return false;
    domain = &*it;
  }
  const driver::TVLVariableInfo info = MakeVariableInfo(variable);
  if (domain) domain->Variables.push_back(info);
  variables_.emplace(variable.Id, info);
  return true;
}

bool KernelModel::ForgetVariable(int32_t id) {
  std::lock_guard guard(lock_);
  return variables_.erase(id) == 1;
}

int32_t KernelModel::DomainCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int32_t>(domains_.size());
}

bool KernelModel::DomainInfo(int32_t index, driver::TVLDomainInfo& info) const {
  std::lock_guard guard(lock_);
  if (index < 0 || index >= static_cast<int32_t>(domains_.size())) return false;
  const Domain& domain = domains_[static_cast<size_t>(index)];
  std::memset(&info, 0, sizeof info);
  info.Size = driver::DomainInfoSize;
  info.DomainId = domain.Id;
  CopyField(info.Name, sizeof(info.Name), domain.Name);
  info.VariableCount = static_cast<int32_t>(domain.Variables.size());
  return true;
}

bool KernelModel::VariableOfDomain(int32_t domainId, int32_t index, driver::TVLVariableInfo& info) const {
  std::lock_guard guard(lock_);
  const Domain* domain = FindDomain(domainId);
  if (!domain || index < 0 || index >= static_cast<int32_t>(domain->Variables.size())) return false;
  info = domain->Variables[static_cast<size_t>(index)];
  return true;
}

bool KernelModel::VariableById(int32_t id, driver::TVLVariableInfo& info) const {
  std::lock_guard guard(lock_);
  const driver::TVLVariableInfo* found = FindById(id);
  if (!found) return false;
  info = *found;
  return true;
}

bool KernelModel::VariableByName(std::string_view name, driver::TVLVariableInfo& info) const {
  std::lock_guard guard(lock_);
  for (const auto& [id, variable] : variables_) {
    if (platform::os::SameText(exchange::HostRecordName(variable), name)) {
      info = variable;
      return true;
    }
  }
  return false;
}

void KernelModel::SetNavigatorAnswer(std::optional<std::string> answer) {
  std::lock_guard guard(lock_);
  navigatorAnswer_ = std::move(answer);
}

std::optional<std::string> KernelModel::NavigatorAnswer() const {
  std::lock_guard guard(lock_);
  return navigatorAnswer_;
}

void KernelModel::SetSinks(LogSink log, NavigatorSink navigator, ErrorBoxSink errorBox) {
  std::lock_guard guard(lock_);
  logSink_ = std::move(log);
  navigatorSink_ = std::move(navigator);
  errorBoxSink_ = std::move(errorBox);
}

void KernelModel::AddLogItem(const driver::TLogItem& item) {
  LogSink sink;
  {
    std::lock_guard guard(lock_);
    log_.push_back(item);
    sink = logSink_;
  }
  if (sink) sink(item);
}

void KernelModel::NotifyNavigator(driver::HostWindowHandle parent, std::string_view current) const {
  NavigatorSink sink;
  {
    std::lock_guard guard(lock_);
    sink = navigatorSink_;
  }
  if (sink) sink(parent, current);
}

void KernelModel::ShowErrorBox(driver::HostWindowHandle parent, std::string_view caption, std::string_view message,
                               int32_t flags) const {
  ErrorBoxSink sink;
  {
    std::lock_guard guard(lock_);
    sink = errorBoxSink_;
  }
  if (sink) sink(parent, caption, message, flags);
}

std::vector<driver::TLogItem> KernelModel::LogItems() const {
  std::lock_guard guard(lock_);
  return log_;
}

const driver::TVLVariableInfo* KernelModel::FindById(int32_t id) const {
  auto it = variables_.find(id);
  return it == variables_.end() ? nullptr : &it->second;
}

const KernelModel::Domain* KernelModel::FindDomain(int32_t id) const {
  for (const auto& domain : domains_) {
    if (domain.Id == id) return &domain;
  }
  return nullptr;
}

}  // namespace kernel
