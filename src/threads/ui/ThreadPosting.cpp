#include "threads/ui/ThreadPosting.h"

namespace velkor {
namespace {

ThreadPosting*& Installed() {
  static ThreadPosting* posting = nullptr;
  return posting;
}

}  // namespace

ThreadPosting* InstalledThreadPosting() {
  return Installed();
}

void InstallThreadPosting(ThreadPosting* posting) {
  Installed() = posting;
}

}  // namespace velkor
