#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace pagefields::testing {

// What a finished program left behind.
struct ProgramRun {
  int exit_code = -1;  // -1 when it could not be started or did not exit normally
  std::string out;
  std::string err;
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Starts `program` with `arguments` in the folder `folder`, standard input empty, standard
// output on the open descriptor `out` and standard error in the file `err_path`. Returns the
// child's pid, or -1 when it could not be started.
inline pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::filesystem::path& folder, int out,
                          const std::string& err_path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  pid_t child = -1;
  if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
    child = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

// Waits for `child`: its exit status, or -1 when it did not exit normally.
inline int WaitForExit(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `program` with `arguments` in the folder `folder`, standard input empty and standard
// output and error caught in files under `scratch`; standard output goes to `out_file`
// instead when one is named (and `out` stays empty).
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& folder,
                             const std::filesystem::path& scratch,
                             const std::string& out_file = "") {
  const std::string out_path = out_file.empty() ? (scratch / "stdout").string() : out_file;
  const std::string err_path = (scratch / "stderr").string();
  ProgramRun run;
  const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) return run;
  const pid_t child = SpawnProgram(program, arguments, folder, out, err_path);
  ::close(out);
  if (child < 0) return run;
  run.exit_code = WaitForExit(child);
  if (out_file.empty()) run.out = ReadWholeFile(out_path);
  run.err = ReadWholeFile(err_path);
  return run;
}

}  // namespace pagefields::testing
