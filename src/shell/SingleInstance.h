#pragma once
#include <string>

namespace tabulonix {

// Keeps a second copy of the program from running: an exclusive lock on "Tabulonix.lock"
// in $XDG_RUNTIME_DIR (else /tmp), held until the process ends. The operating system drops
// the lock when the process ends, however it ends.
class SingleInstance {
  public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False when another process holds the lock. When the lock file cannot be opened at all
    // (no folder to put it in) the program runs unguarded rather than not at all.
    bool IsFirst() const { return first_; }

    static std::string LockPath();

  private:
    int fd_ = -1;
    bool first_ = true;
};

} // namespace tabulonix
