#pragma once
// Files that a run writes beside their final names.  Each goes first to a
// temporary file in the folder of its final name and is renamed into place
// only when the whole run has succeeded: a failed or interrupted run leaves
// every older file as it was.  A rename also replaces a link planted at the
// final name instead of writing through it.
//
// What is staged is removed by discard_staged_files (the fatal-error path)
// and, through the handlers that remove_staged_files_on_signals installs, on
// SIGINT, SIGTERM, SIGHUP and SIGPIPE.

#include <cstddef>
#include <cstdint>
#include <string>

// Writes all `length` bytes to `fd`, again after a signal interrupted the
// call.  False when the file takes no more.
bool write_all(int fd, const std::uint8_t* data, std::size_t length);

// Creates a temporary file for writing in the folder of `final_path`, with
// the permissions a new file gets there (or those of the regular file it
// will replace).  Returns its id and sets `fd`, or -1 when none can be made.
int stage_file(const std::string& final_path, int& fd);
// The temporary's path.
const std::string& staged_path(int id);
// Renames the temporary over its final name.  False when that fails; the
// temporary is then removed.
bool commit_staged_file(int id);
// Removes the temporary (its descriptor, if still open, is the caller's).
void discard_staged_file(int id);
// Removes every temporary not yet committed.
void discard_staged_files();

// A file written in place, not staged (when no temporary can be made beside
// it): removed on a signal like a temporary while it is watched, if it is
// still the same file.
void watch_unfinished_file(const std::string& path);
void forget_unfinished_file();

// Installs the signal handlers: they remove the temporaries and the watched
// file, print an ERROR line (except for SIGPIPE), and end the process by the
// same signal with its default action, so that the exit status is the
// conventional one.
void remove_staged_files_on_signals();

// True when `a` and `b` name the same file: the same device and inode
// (links followed), or, when either does not exist, the same absolute path
// once its links are resolved.
bool same_file(const std::string& a, const std::string& b);
