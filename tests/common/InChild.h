#pragma once
// Runs a piece of a test in a forked child: to drop root rights (CI runs as
// root, and root may write anywhere), or to give it limits of its own.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

// Body returns the child's exit status; the result is that status, or 128 +
// the signal that ended the child.
template <class F>
int InChild(F Body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(Body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The exit status InChildWithoutRoot gives when the rights cannot be dropped.
constexpr int CannotDropRoot = 99;

// As InChild, as the user nobody (65534) when the test runs as root.
template <class F>
int InChildWithoutRoot(F Body) {
  return InChild([&] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return CannotDropRoot;
    return Body();
  });
}
