// The wait cursor for operations that touch the disk: shown while an instance lives.
// Instances nest; only the user-interface thread changes the cursor.
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

 private:
  bool shown_ = false;
};

}  // namespace fw
