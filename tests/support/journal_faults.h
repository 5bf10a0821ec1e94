// Faults for the tests of the run journal and of processing that writes one: a file size limit
// for the whole process (writes past it fail with EFBIG instead of killing the process), and
// turning the open descriptor of a file into /dev/full so that every later write to it fails
// with ENOSPC, as on a full disk. Not thread-safe; test thread only.
#ifndef ZAREZODUD_TESTS_SUPPORT_JOURNAL_FAULTS_H
#define ZAREZODUD_TESTS_SUPPORT_JOURNAL_FAULTS_H

#include <sys/resource.h>

#include <string>

namespace ztest {

// While alive, no file of this process can grow beyond bytes; SIGXFSZ is ignored.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit m_saved;
  void (*m_savedHandler)(int);
};

// Every descriptor of this process open on path now refers to /dev/full. Returns how many.
int makeFileFull(const std::string& path);

}  // namespace ztest

#endif
