#pragma once
// Window handles and their procedures.
//
// A window belongs to the thread that made it: its posted and sent messages
// are handled on that thread, through that thread's message loop
// (MessageLoop.h). When the thread ends, its windows are destroyed. Handles
// are machine-wide (within the IPC namespace): a window of another process
// answers IsWindow and takes posted messages with integer parameters.

#include "platform/win/Messages.h"

#include <cstdint>
#include <functional>

namespace platform::win {

// The procedure of a window: called with the window's handle and the
// message; its result is what SendMessage answers. An exception leaving it
// is caught by the dispatcher, reported on stderr and answered with 0.
using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Makes a window owned by the calling thread, with proc as its procedure.
// Answers 0 when no handle could be had (table full or unavailable, or the
// thread is ending). Any thread.
HWND AllocateHWnd(WindowProc proc);

// Destroys a window: its handle stops being a window at once, its timers
// end and the messages queued for it are dropped.
// False for an unknown handle or when called from a thread that does not
// own the window. A procedure may destroy its own window.
bool DestroyWindow(HWND hwnd);

// True while hwnd is a live window of this or another process. False for 0,
// a destroyed handle, or a window whose process has ended in any way (a
// reused pid included). Any thread.
bool IsWindow(HWND hwnd);

// The id of the thread owning the window (Linux thread id), and its process
// id through processId when given; 0 (and *processId 0) when hwnd is not a
// window. Any thread.
uint32_t GetWindowThreadProcessId(HWND hwnd, uint32_t* processId = nullptr);

// Removes the machine-wide window table of this IPC namespace when every
// process that held it has ended; a process killed outright cannot remove
// it itself. False when a live process (this one included) holds it or
// there is none. For whoever kills processes of a namespace. Any thread.
bool RemoveStaleWindowTable();

}  // namespace platform::win
