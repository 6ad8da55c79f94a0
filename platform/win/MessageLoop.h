#pragma once
// Posting, sending and handling window messages, and timers.
//
// Every thread gets a message queue the first time it needs one. Posted
// messages of one sender reach a queue in the order they were posted.
// Messages sent from another thread are handled by the owner thread
// whenever it is inside GetMessage, PeekMessage, ProcessMessages,
// WaitPumping or a SendMessage of its own, before any posted message.

#include "platform/win/Messages.h"

#include <cstdint>
#include <functional>

namespace platform::win {

// Queues a message for the window's thread and returns at once. Across
// processes only the integer values of the parameters arrive (that is how
// WM_CLOSE reaches the server); such a post may block up to one second
// while the receiving thread's queue is full. False for a handle that is
// not a window, a full queue (MessageQueue::kMaxPosted) or a lost
// endpoint. Any thread.
bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Calls the window's procedure and answers its result. Same thread: a
// direct call. Another thread of this process: blocks until the owner
// thread has handled it, handling meanwhile the messages other threads send
// to the caller's windows (so two threads sending to each other do not
// deadlock). Answers 0 at once for a handle that is not a window, or a
// window of another process (only posts cross processes); 0 also when the
// window is destroyed or its thread ends before handling it. Any thread.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The calling thread's id as queues and windows know it. Any thread.
uint32_t GetCurrentThreadId();

// True while the calling thread is handling, anywhere up its stack, a
// message that thread senderThreadId sent it with SendMessage: that sender
// waits until the calling thread's handler returns. Calling thread.
bool InSendMessageFrom(uint32_t senderThreadId);

// Waits for the next posted message of the calling thread for hwnd (0 =
// any window) in [min, max] (both 0 = any number), handling sent messages
// meanwhile; removes it into msg. False when it is WM_QUIT (or the thread
// is ending and has no queue). Blocks until a message comes: it is the loop
// of a thread that lives for its windows.
bool GetMessage(MSG& msg, HWND hwnd = 0, UINT min = 0, UINT max = 0);

// As GetMessage without waiting: true when a message was found; removed
// only with PM_REMOVE.
bool PeekMessage(MSG& msg, HWND hwnd = 0, UINT min = 0, UINT max = 0, UINT flags = PM_REMOVE);

// Hands msg to the procedure of its window and answers the result; 0 when
// the window is gone or belongs to another thread. Calling thread.
LRESULT DispatchMessage(const MSG& msg);

// Handles the sent messages and the posted messages (timers included) that
// are pending at the call, then returns. A WM_QUIT stays queued for the
// loop; the answer is false while one is pending. Calling thread.
bool ProcessMessages();

// Another source of events for the calling thread (a display
// connection): its descriptor ends the thread's waits when readable, and
// pump runs at the start of every ProcessMessages of the thread (so also
// inside WaitPumping), never nested in itself. fd -1 and an empty pump
// remove it. False when the thread has no message queue. Calling thread.
bool SetEventSource(int fd, std::function<void()> pump);

// Handles the calling thread's messages until condition() holds or
// timeoutMs has passed; answers whether condition() held. Between messages
// condition is checked at least every millisecond. Calling thread.
bool WaitPumping(const std::function<bool()>& condition, uint32_t timeoutMs);

// Asks the calling thread's loop to end: GetMessage answers false (WM_QUIT
// with wParam exitCode) once the posted messages before it are taken.
void PostQuitMessage(int exitCode);

// Starts (or restarts) timer id of a window of this process: WM_TIMER
// (wParam id, lParam 0) is queued on the window's thread every intervalMs
// (at least 10 ms), never more than one at a time. Timers run on the
// monotonic clock. False when hwnd is not a window of this process. Any
// thread.
bool SetTimer(HWND hwnd, uintptr_t id, uint32_t intervalMs);

// Stops the timer and drops its queued WM_TIMER; false when there is no such
// timer. Any thread.
bool KillTimer(HWND hwnd, uintptr_t id);

}  // namespace platform::win
