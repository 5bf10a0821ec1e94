// executeExecutable: runs one command line through the platform process service with its
// standard output and error redirected into a file, and reports the exit code. Offered to
// outside callers; no list runner uses it. Thread-safe (blocks until the command ends).
#ifndef ZAREZODUD_ENGINE_EXECUTE_EXECUTABLE_H
#define ZAREZODUD_ENGINE_EXECUTE_EXECUTABLE_H

#include <cstddef>
#include <string>

#include "export.h"

// Runs `command > "outputFile" 2>&1 ` (cut at 8,191 characters) through the shell. exitCode
// receives the exit status (128 + signal for a killed command). Returns 1 when it is 0; else
// 0 with the process service's error output copied into errorText, at most errorTextSize - 1
// characters and always terminated (nothing is copied when errorText is null or the size 0).
ZAREZODUD_API int executeExecutable(std::string command, char* errorText, std::size_t errorTextSize,
                                    int& exitCode, std::string outputFile, int unused);

#endif
