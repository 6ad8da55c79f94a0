#pragma once
// The IPC namespace scopes every machine-wide name (section names, window
// handles, the registry folder) by the environment variable
// FERROWICK_IPC_NAMESPACE, so that parallel tests never meet. Child
// processes inherit it with the environment.

#include <string>
#include <string_view>

namespace platform::os {

// The value of FERROWICK_IPC_NAMESPACE, or "" when unset. Read at each call;
// any thread.
std::string IpcNamespace();

// A machine-wide name scoped by the namespace: "NS." + name, or name alone
// when no namespace is set. Any thread.
std::string IpcName(std::string_view name);

}  // namespace platform::os
