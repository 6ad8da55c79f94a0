#pragma once
// A one-line summary of the driver's section for halvorsten-host's
// "section" command. Reads the section through the server-side owner, for
// an instant, and never writes a field anyone reads.

#include <string>

namespace kernel {

// "section state=S heartbeat=H vars=N dyn=N errors=N batch=STATE/ID/COUNT
// slot0=PID/HWND/RUN/HEARTBEAT t1=COUNTER/OWNER t2=COUNTER/OWNER", or
// "section none" when no section of the driver exists (in this IPC
// namespace). Any thread.
std::string DescribeDriverSection();

}  // namespace kernel
