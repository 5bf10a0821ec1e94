// RkProcess: the process service. Runs a command line through the shell and collects its
// standard output and standard error. Both streams are read together as they arrive, so a
// command that writes a great deal to both never blocks on a full pipe.
//
// Thread-safety: the functions keep no state; several threads may run commands at once (the
// pipes are close-on-exec, so one command never holds another's pipe open).
#ifndef ZAREZODUD_PLATFORM_PROCESS_RK_PROCESS_H
#define ZAREZODUD_PLATFORM_PROCESS_RK_PROCESS_H

#include <string>
#include <vector>

namespace zarezodud {

class RkProcess {
 public:
  // Runs commandLine with "/bin/sh -c", standard input from /dev/null, and waits for it.
  // out and err are replaced by everything the command wrote to standard output and standard
  // error. Returns the command's exit status; 128 + the signal number when a signal ended it;
  // -1 when it could not be started or waited for (err then holds the reason).
  // timeoutSeconds: 0 waits as long as the command runs; otherwise the command and every
  // process it started are killed after that many seconds (result 128 + SIGKILL, and err
  // ends with a line saying so). reserved is accepted for call compatibility and unused.
  static int system(const std::string& commandLine, std::string& out, std::string& err, int timeoutSeconds,
                    bool reserved);

  // As system, but runs program (a path, not searched in PATH) with the given argument
  // vector (args[0] is the name the program sees).
  static int run(const std::string& program, const std::vector<std::string>& args, std::string& out,
                 std::string& err, int timeoutSeconds);
};

}  // namespace zarezodud

#endif  // ZAREZODUD_PLATFORM_PROCESS_RK_PROCESS_H
