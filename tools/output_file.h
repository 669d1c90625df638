// Where the renderer's output goes: a temporary file beside the target that
// replaces it only once complete, so a failure or an interruption never
// leaves a partial file behind nor destroys what the target held.
#pragma once

#include <string>

namespace render {

class ReplacingFile {
 public:
  // Checks the target and opens what is to be written. A link is followed
  // and what it points to replaced, keeping its permissions; a device or
  // named pipe is written into as it is. Throws std::system_error naming
  // path when it may not or cannot be written: a folder, a file without
  // write permission (even for root, who could replace it), a missing folder.
  explicit ReplacingFile(const std::string& path);
  ~ReplacingFile();  // removes the temporary file unless committed

  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // The descriptor to write; the caller takes it over and closes it before
  // Commit.
  int ReleaseFd();
  // True when the target is a pipe or device written into directly, which
  // cannot seek.
  bool Direct() const { return direct_; }
  // Puts the complete temporary file in the target's place.
  void Commit();

 private:
  std::string path_;    // as the user named it, for messages
  std::string target_;  // the file to replace
  std::string temp_;    // empty when writing directly or once committed
  int fd_ = -1;
  bool direct_ = false;
};

// Removes the temporary file of a render that SIGINT, SIGTERM, SIGHUP or
// SIGPIPE interrupts, then ends the process by that signal as usual.
void RemoveTemporaryFileOnSignals();

// Throws std::system_error naming path when path may not be written.
void CheckWritable(const std::string& path);

}  // namespace render
