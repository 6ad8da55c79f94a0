#pragma once
// A temporary folder for a server test, removed with its content.

#include <string>

namespace server_test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // The folder, without a trailing "/"; "" when it could not be made.
  const std::string& Path() const { return path_; }
  // Writes bytes to the file name inside the folder; answers its path.
  std::string Write(const std::string& name, const std::string& bytes) const;
  // The bytes of the file name inside the folder; "" when it cannot be read.
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace server_test
