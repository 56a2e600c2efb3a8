// What the posting benchmarks share: a private PELLAM_ROOT with the calling user
// registered and a system profile whose directories lie inside it, prepared messages,
// and the programs built beside the benchmark. The root is removed when the program
// ends; nothing in it is deleted before then (this filesystem creates files slowly
// right after many deletions), so full directories are moved aside instead.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

class BenchRoot {
 public:
  BenchRoot();  // aborts when the root or the profiles cannot be made
  ~BenchRoot();
  BenchRoot(const BenchRoot&) = delete;
  BenchRoot& operator=(const BenchRoot&) = delete;

  const std::string& root() const { return root_; }

  // Moves a directory's files aside (a rename, not deletions) and starts it empty.
  void MoveAside(const std::string& directory);

 private:
  std::string root_;
  int moved_ = 0;
};

// The one root of this benchmark program, made on first use.
BenchRoot& Root();

// A prepared message to ten local addresses with a text of about `size` bytes.
std::string Message(size_t size);

// The path of `name` in the directory of this benchmark program ("" if unknown).
std::string BesideThisProgram(const std::string& name);

}  // namespace bench
