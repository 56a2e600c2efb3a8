// The wait cursor for operations that touch the disk: shown while an instance lives.
// Instances nest, and only the outermost one changes the cursor (once on, once off);
// only the user-interface thread changes it.
#pragma once

namespace fw {

class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

  // Ends the wait early (the destructor then does nothing).
  void Restore();

  // How many instances are live on the user-interface thread.
  static int Depth();

 private:
  bool shown_ = false;
};

}  // namespace fw
