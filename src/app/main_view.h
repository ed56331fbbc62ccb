// What TfMain needs of its window: the caption, the position, the debug button's caption, the
// error box and the log view. The Windows form is one; the Linux console is another.
#pragma once

#include <string>

namespace tavelor {

class MainView {
 public:
  virtual ~MainView() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetDebugCaption(const std::string& caption) = 0;
  virtual void MoveToTopLeft() = 0;
  // An error the person at the machine must see (the error box); the log has it already.
  virtual void ShowError(const std::string& text) = 0;
  // One new last line of the log.
  virtual void AppendLog(const std::string& line) = 0;
};

}  // namespace tavelor
