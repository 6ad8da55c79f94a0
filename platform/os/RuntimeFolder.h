#pragma once
// A folder for this user's runtime files (lock files) that no other local
// user can create, replace or write into: a file name in it cannot be
// taken first by someone else, as one in the shared temporary folder can.
//
// The folder is the first of these that qualifies, created (mode 0700)
// when missing:
//   1. $XDG_RUNTIME_DIR/ferrowick, when $XDG_RUNTIME_DIR is an absolute
//      path of a directory of this user with no access for group or others;
//   2. <home>/.cache/ferrowick, home being $HOME (else the user's password
//      entry), when home and an existing .cache are directories of this
//      user that group and others cannot write;
//   3. /tmp/ferrowick-<uid>.
// The folder itself must be a directory, not a link, owned by this user,
// with no access for group or others; a candidate that fails is skipped.
// Processes of one user with the same environment agree on the folder.

#include <string>

namespace platform::os {

// The folder as above, without a trailing "/"; "" when none qualifies.
// Reads the environment and the file system at each call; any thread.
std::string UserRuntimeFolder();

}  // namespace platform::os
