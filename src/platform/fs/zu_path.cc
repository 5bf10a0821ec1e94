#include "platform/fs/zu_path.h"

namespace zarezodud {

std::string CZuPath::Append(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (name.empty()) return dir;
  std::size_t start = name.find_first_not_of('/');
  std::string tail = start == std::string::npos ? std::string() : name.substr(start);
  std::size_t end = dir.find_last_not_of('/');
  std::string head;
  if (end != std::string::npos) {
    head = dir.substr(0, end + 1);
  } else if (!dir.empty()) {
    head = "/";  // dir was the root, possibly written with several slashes
  }
  if (head.empty()) return tail;
  if (tail.empty()) return head;
  if (head == "/") return head + tail;
  return head + "/" + tail;
}

int FXPath::Append(std::string& path, const std::string& name, int flags) {
  if (flags != 0 || name.empty()) return -1;
  path = CZuPath::Append(path, name);
  return 0;
}

}  // namespace zarezodud
